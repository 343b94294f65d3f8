#pragma once
// Stream fakes for the audio engine: a source with odd behaviour, an opener that serves named
// sources, and a stretcher that plays its input faster or slower by resampling.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/sample_stream.h"
#include "audio/stream_source.h"
#include "audio/time_stretcher.h"

namespace vendrel::testing {

// Promises a long stream, gives values that are not numbers or far out of range, claims to
// have read more than it was asked for, and then stops early.
class GarbageSource final : public StreamSource {
public:
    explicit GarbageSource(std::size_t framesBeforeEnd) : left_(framesBeforeEnd) {}
    std::uint32_t channels() const override { return 2; }
    std::uint32_t rate() const override { return 44100; }
    std::size_t read(float* out, std::size_t frames) override {
        const std::size_t count = std::min(frames, left_);
        constexpr float kValues[] = {std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity(), 1.0e30f, -7.0f};
        for (std::size_t i = 0; i < count * 2; ++i) {
            out[i] = kValues[i % 4];
        }
        left_ -= count;
        return count == 0 ? 0 : frames * 4; // more than asked
    }
    bool seek(std::uint64_t) override { return false; }
    std::optional<std::uint64_t> lengthInFrames() const override { return 441000; }

private:
    std::size_t left_;
};

// Sources by URL (or by the file path asked for); a name it does not know fails to open.
class FakeStreamOpener final : public StreamOpener {
public:
    using Make = std::function<std::unique_ptr<StreamSource>()>;

    std::map<std::string, Make> sources;
    std::vector<std::string> asked; // every name asked for, in order

    std::unique_ptr<StreamSource> openFile(const std::string& path) override { return open(path); }
    std::unique_ptr<StreamSource> openUrl(const std::string& url) override { return open(url); }

private:
    std::unique_ptr<StreamSource> open(const std::string& name) {
        asked.push_back(name);
        const auto found = sources.find(name);
        return found == sources.end() ? nullptr : found->second();
    }
};

// Not a real stretcher: it resamples by tempo × 2^(pitch/12), so a faster tempo is heard both
// shorter and higher. Enough to show the engine's tempo and pitch reaching the frames.
class ResamplingStretcher final : public TimeStretcher {
public:
    void configure(std::uint32_t channels, std::uint32_t) override { channels_ = channels; }
    void setTempo(double ratio) override { tempo_ = ratio; }
    void setPitchSemitones(double semitones) override { pitch_ = semitones; }
    void put(const float* frames, std::size_t count) override {
        held_.insert(held_.end(), frames, frames + count * channels_);
    }
    std::size_t receive(float* frames, std::size_t count) override {
        const double step = tempo_ * std::exp2(pitch_ / 12.0);
        const std::size_t heldFrames = held_.size() / channels_;
        std::size_t made = 0;
        while (made < count && position_ + 1.0 < static_cast<double>(heldFrames)) {
            const auto index = static_cast<std::size_t>(position_);
            const auto fraction = static_cast<float>(position_ - static_cast<double>(index));
            for (std::size_t c = 0; c < channels_; ++c) {
                frames[made * channels_ + c] = held_[index * channels_ + c] * (1.0f - fraction) +
                                               held_[(index + 1) * channels_ + c] * fraction;
            }
            ++made;
            position_ += step;
        }
        const auto used = std::min(static_cast<std::size_t>(position_), heldFrames);
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(used * channels_));
        position_ -= static_cast<double>(used);
        return made;
    }
    void flush() override {}
    void clear() override {
        held_.clear();
        position_ = 0.0;
    }

private:
    std::size_t channels_ = 1;
    double tempo_ = 1.0;
    double pitch_ = 0.0;
    std::vector<float> held_;
    double position_ = 0.0;
};

} // namespace vendrel::testing

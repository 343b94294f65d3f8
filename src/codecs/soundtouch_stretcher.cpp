#include "soundtouch_stretcher.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <type_traits>

namespace vendrel {
namespace {

static_assert(std::is_same_v<soundtouch::SAMPLETYPE, float>,
              "the stream feeder hands SoundTouch float frames");

// SoundTouch reports bad settings by throwing; nothing of that may reach the feeder thread, so
// every call is fenced and a stretcher that failed passes nothing on (the stream then ends).
class SoundTouchStretcher final : public TimeStretcher {
public:
    void configure(std::uint32_t channels, std::uint32_t rate) override {
        guarded([&] {
            touch_.setChannels(channels);
            touch_.setSampleRate(rate);
            // Speech and music both: the quick seek costs little quality and much less time,
            // which matters with several streams on one core.
            touch_.setSetting(SETTING_USE_QUICKSEEK, 1);
            channels_ = channels;
        });
    }
    void setTempo(double ratio) override {
        guarded([&] { touch_.setTempo(ratio); });
    }
    void setPitchSemitones(double semitones) override {
        guarded([&] { touch_.setPitchSemiTones(semitones); });
    }
    void put(const float* frames, std::size_t count) override {
        guarded([&] {
            // In pieces the library's unsigned counts can hold.
            while (count > 0) {
                const std::size_t piece = std::min<std::size_t>(count, 1u << 20);
                touch_.putSamples(frames, static_cast<unsigned>(piece));
                frames += piece * channels_;
                count -= piece;
            }
        });
    }
    [[nodiscard]] std::size_t receive(float* frames, std::size_t count) override {
        std::size_t received = 0;
        guarded([&] {
            received = touch_.receiveSamples(
                frames, static_cast<unsigned>(std::min<std::size_t>(count, UINT_MAX)));
        });
        return received;
    }
    void flush() override {
        guarded([&] { touch_.flush(); });
    }
    void clear() override {
        guarded([&] { touch_.clear(); });
    }

private:
    template <typename Action> void guarded(Action action) {
        if (hasFailed_) {
            return;
        }
        try {
            action();
        } catch (const std::exception&) {
            hasFailed_ = true;
        }
    }

    soundtouch::SoundTouch touch_;
    std::uint32_t channels_ = 1;
    bool hasFailed_ = false;
};

} // namespace

std::unique_ptr<TimeStretcher> makeSoundTouchStretcher() {
    return std::make_unique<SoundTouchStretcher>();
}

TimeStretcherFactory soundTouchStretcherFactory() {
    return [] {
        return makeSoundTouchStretcher();
    };
}

} // namespace vendrel

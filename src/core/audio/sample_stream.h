#pragma once
// Streams over sounds decoded whole: a Sample served frame by frame, and the opener of WAV
// files that uses it. WAV streams are rare and short (the server streams music as Ogg or from
// the web), so holding the decoded file is simpler than decoding it as it plays, and the
// file's size is checked before it is read.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/sample.h"
#include "audio/stream_source.h"

namespace vendrel {

class SampleStreamSource final : public StreamSource {
public:
    explicit SampleStreamSource(Sample sample) : sample_(std::move(sample)) {}

    [[nodiscard]] std::uint32_t channels() const override { return sample_.channels; }
    [[nodiscard]] std::uint32_t rate() const override { return sample_.rate; }
    [[nodiscard]] std::size_t read(float* out, std::size_t frames) override;
    [[nodiscard]] bool seek(std::uint64_t frame) override;
    [[nodiscard]] std::optional<std::uint64_t> lengthInFrames() const override {
        return sample_.frameCount();
    }

private:
    Sample sample_;
    std::size_t position_ = 0;
};

// Files only: a URL is some other opener's.
class WavStreamOpener final : public StreamOpener {
public:
    [[nodiscard]] std::unique_ptr<StreamSource> openFile(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<StreamSource> openUrl(const std::string&) override {
        return nullptr;
    }
};

} // namespace vendrel

#include "audio/sample_stream.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/files.h"
#include "audio/wav_decoder.h"

namespace vendrel {

std::size_t SampleStreamSource::read(float* out, std::size_t frames) {
    const std::size_t count = std::min(frames, sample_.frameCount() - position_);
    std::copy_n(sample_.data.data() + position_ * sample_.channels, count * sample_.channels, out);
    position_ += count;
    return count;
}

bool SampleStreamSource::seek(std::uint64_t frame) {
    if (frame >= sample_.frameCount()) {
        return false;
    }
    position_ = static_cast<std::size_t>(frame);
    return true;
}

std::unique_ptr<StreamSource> WavStreamOpener::openFile(const std::string& path) {
    const auto filePath = pathFromUtf8(path);
    std::error_code error;
    const auto size = std::filesystem::file_size(filePath, error);
    if (error || size > kMaxSoundFileBytes) {
        return nullptr;
    }
    // The magic number first: an Ogg file is not read whole just to be turned down.
    std::ifstream file(filePath, std::ios::binary);
    char head[12] = {};
    if (!file.read(head, sizeof head)) {
        return nullptr;
    }
    const WavDecoder decoder;
    if (!decoder.canDecode(std::string_view(head, sizeof head))) {
        return nullptr;
    }
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        return nullptr;
    }
    auto sample = decoder.decode(*bytes);
    if (!sample) {
        return nullptr;
    }
    return std::make_unique<SampleStreamSource>(std::move(*sample));
}

} // namespace vendrel

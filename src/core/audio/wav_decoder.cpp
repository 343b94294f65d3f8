#include "audio/wav_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vendrel {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint32_t readLe(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

struct WavFormat {
    std::uint16_t format = 0;
    std::uint32_t channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t bits = 0;
    std::uint32_t blockAlign = 0;
};

std::optional<WavFormat> readFormat(std::string_view chunk) {
    if (chunk.size() < 16) {
        return std::nullopt;
    }
    WavFormat format;
    format.format = static_cast<std::uint16_t>(readLe(chunk, 0, 2));
    format.channels = readLe(chunk, 2, 2);
    format.rate = readLe(chunk, 4, 4);
    format.blockAlign = readLe(chunk, 12, 2);
    format.bits = readLe(chunk, 14, 2);
    if (format.format == kFormatExtensible) {
        // The sub-format's first two bytes carry the real format tag.
        if (chunk.size() < 26) {
            return std::nullopt;
        }
        format.format = static_cast<std::uint16_t>(readLe(chunk, 24, 2));
    }
    const bool isPcm =
        format.format == kFormatPcm && (format.bits == 8 || format.bits == 16 || format.bits == 24);
    const bool isFloat = format.format == kFormatFloat && format.bits == 32;
    if (!isPcm && !isFloat) {
        return std::nullopt;
    }
    if (format.channels < 1 || format.channels > 2 || format.rate < kMinSampleRate ||
        format.rate > kMaxSampleRate || format.blockAlign != format.channels * format.bits / 8) {
        return std::nullopt;
    }
    return format;
}

float readValue(const char* at, const WavFormat& format) {
    switch (format.bits) {
    case 8:
        return (static_cast<float>(static_cast<unsigned char>(*at)) - 128.0f) / 128.0f;
    case 16: {
        const auto raw = static_cast<std::int16_t>(readLe(std::string_view(at, 2), 0, 2));
        return static_cast<float>(raw) / 32768.0f;
    }
    case 24: {
        // Sign-extend from the top byte.
        const std::uint32_t raw = readLe(std::string_view(at, 3), 0, 3);
        const auto value = static_cast<std::int32_t>(raw << 8) / 256;
        return static_cast<float>(value) / 8388608.0f;
    }
    default: {
        float value = 0.0f;
        std::memcpy(&value, at, sizeof value);
        // A NaN or infinity in a file would poison the whole mix, and so would a huge finite
        // value once two voices add up past the largest float.
        return std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
    }
    }
}

std::optional<Sample> convert(std::string_view data, const WavFormat& format) {
    // A truncated data chunk keeps its whole frames: players accept such files.
    const std::size_t frames = data.size() / format.blockAlign;
    const std::size_t values = frames * format.channels;
    if (frames == 0 || values > kMaxSampleValues) {
        return std::nullopt;
    }
    Sample sample;
    sample.channels = format.channels;
    sample.rate = format.rate;
    sample.data.resize(values);
    const std::size_t bytesPerValue = format.bits / 8;
    for (std::size_t i = 0; i < values; ++i) {
        sample.data[i] = readValue(data.data() + i * bytesPerValue, format);
    }
    return sample;
}

} // namespace

bool WavDecoder::canDecode(std::string_view bytes) const {
    return bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WAVE";
}

std::optional<Sample> decodeWav(std::string_view bytes) {
    if (!WavDecoder().canDecode(bytes)) {
        return std::nullopt;
    }
    std::optional<WavFormat> format;
    std::size_t at = 12;
    while (bytes.size() - at >= 8) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t declared = readLe(bytes, at + 4, 4);
        at += 8;
        const std::size_t size = std::min(declared, bytes.size() - at);
        const std::string_view chunk = bytes.substr(at, size);
        if (id == "fmt ") {
            format = readFormat(chunk);
            if (!format) {
                return std::nullopt;
            }
        } else if (id == "data") {
            return format ? convert(chunk, *format) : std::nullopt;
        }
        // Chunks are padded to an even size; the sum cannot pass the end of the bytes.
        at += std::min(size + (size & 1), bytes.size() - at);
    }
    return std::nullopt;
}

} // namespace vendrel

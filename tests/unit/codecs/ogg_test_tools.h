#pragma once
// Test helpers for Ogg files: the checked-in test sounds, pages rewritten with valid checksums
// (so a damaged or lying page reaches the decoder instead of being dropped by libogg), and
// measurements of decoded interleaved frames.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "app/files.h"

namespace vendrel::testing {

inline std::string testSoundPath(const std::string& name) {
#ifdef VENDREL_TEST_DATA_DIR_WIN
    return VENDREL_TEST_DATA_DIR_WIN + std::string("ogg/") + name;
#else
    return VENDREL_TEST_DATA_DIR + std::string("ogg/") + name;
#endif
}

inline std::string testSound(const std::string& name) {
    return readWholeFile(testSoundPath(name)).value_or(std::string());
}

struct OggPage {
    std::size_t at = 0;
    std::size_t size = 0; // header, segment table and body
};

// The pages of a well-formed file, in order.
inline std::vector<OggPage> oggPages(const std::string& bytes) {
    std::vector<OggPage> pages;
    std::size_t at = 0;
    while (at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0) {
        const std::size_t segments = static_cast<unsigned char>(bytes[at + 26]);
        std::size_t size = 27 + segments;
        for (std::size_t i = 0; i < segments && at + 27 + i < bytes.size(); ++i) {
            size += static_cast<unsigned char>(bytes[at + 27 + i]);
        }
        pages.push_back({at, size});
        at += size;
    }
    return pages;
}

inline void putLe64(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Recomputes every page's checksum after the bytes were changed: CRC-32 with polynomial
// 0x04c11db7, not reflected, starting from 0, over the page with its checksum field zeroed.
inline void fixOggChecksums(std::string& bytes) {
    for (const OggPage& page : oggPages(bytes)) {
        if (page.at + page.size > bytes.size()) {
            break;
        }
        putLe64(bytes, page.at + 22, 0, 4);
        std::uint32_t crc = 0;
        for (std::size_t i = page.at; i < page.at + page.size; ++i) {
            crc ^= std::uint32_t{static_cast<unsigned char>(bytes[i])} << 24;
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04c11db7u : crc << 1;
            }
        }
        putLe64(bytes, page.at + 22, crc, 4);
    }
}

// The same file as another logical stream, so two copies can be chained.
inline std::string withSerial(std::string bytes, std::uint32_t serial) {
    for (const OggPage& page : oggPages(bytes)) {
        putLe64(bytes, page.at + 14, serial, 4);
    }
    fixOggChecksums(bytes);
    return bytes;
}

// The last page announces the length of the whole stream.
inline std::string withLastGranule(std::string bytes, std::uint64_t granule) {
    putLe64(bytes, oggPages(bytes).back().at + 6, granule, 8);
    fixOggChecksums(bytes);
    return bytes;
}

// Rewrites the identification header (the first page's packet): the channel count and the
// rate a hostile file may claim.
inline std::string withHeaderFields(std::string bytes, std::uint32_t channels, std::uint32_t rate) {
    // Page header (27 bytes), one lacing byte, then "\x01vorbis" and the 4-byte version.
    constexpr std::size_t kChannelsAt = 28 + 7 + 4;
    putLe64(bytes, kChannelsAt, channels, 1);
    putLe64(bytes, kChannelsAt + 1, rate, 4);
    fixOggChecksums(bytes);
    return bytes;
}

// Amplitude of a sine of the given frequency in one channel over frames [from, from + count),
// by correlation; exact when the span holds whole periods of it.
inline double amplitudeAt(const std::vector<float>& data, std::uint32_t channels,
                          std::uint32_t channel, std::uint32_t rate, double hertz, std::size_t from,
                          std::size_t count) {
    double cosine = 0.0;
    double sine = 0.0;
    for (std::size_t frame = from; frame < from + count && frame * channels + channel < data.size();
         ++frame) {
        const double phase = 2.0 * std::numbers::pi * hertz * static_cast<double>(frame) / rate;
        cosine += data[frame * channels + channel] * std::cos(phase);
        sine += data[frame * channels + channel] * std::sin(phase);
    }
    return 2.0 * std::hypot(cosine, sine) / static_cast<double>(count);
}

} // namespace vendrel::testing

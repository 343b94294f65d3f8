#pragma once
// Test helpers for the audio engine: sine samples, WAV files written byte by byte, and
// measurements of rendered interleaved stereo.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "audio/sample.h"

namespace vendrel::testing {

inline Sample sineSample(double hertz, std::uint32_t rate, double seconds, float amplitude) {
    Sample sample;
    sample.rate = rate;
    sample.channels = 1;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < frames; ++i) {
        sample.data.push_back(amplitude *
                              static_cast<float>(std::sin(2.0 * std::numbers::pi * hertz *
                                                          static_cast<double>(i) / rate)));
    }
    return sample;
}

inline void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// formatTag 1 (PCM) with 8, 16 or 24 bits, or 3 (float) with 32.
inline std::string wavBytes(const std::vector<float>& values, std::uint32_t channels,
                            std::uint32_t rate, std::uint32_t bits, std::uint32_t formatTag = 1) {
    std::string data;
    for (float value : values) {
        if (formatTag == 3) {
            putLe(data, std::bit_cast<std::uint32_t>(value), 4);
        } else if (bits == 8) {
            putLe(data, static_cast<std::uint32_t>(std::lround(value * 127.0f) + 128), 1);
        } else {
            const double scale = bits == 16 ? 32767.0 : 8388607.0;
            const auto raw = static_cast<std::int32_t>(std::lround(value * scale));
            putLe(data, static_cast<std::uint32_t>(raw), static_cast<int>(bits / 8));
        }
    }
    std::string out = "RIFF";
    putLe(out, static_cast<std::uint32_t>(36 + data.size()), 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);
    putLe(out, formatTag, 2);
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * channels * bits / 8, 4);
    putLe(out, channels * bits / 8, 2);
    putLe(out, bits, 2);
    out += "data";
    putLe(out, static_cast<std::uint32_t>(data.size()), 4);
    return out + data;
}

// Root mean square of one channel (0 left, 1 right) over frames [from, to).
inline double channelRms(const std::vector<float>& out, int channel, std::size_t from,
                         std::size_t to) {
    double sum = 0.0;
    for (std::size_t i = from; i < to && i * 2 + 1 < out.size(); ++i) {
        sum += double{out[i * 2 + channel]} * out[i * 2 + channel];
    }
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// Frequency from upward zero crossings of the left channel over frames [from, to).
inline double measuredHertz(const std::vector<float>& out, std::uint32_t rate, std::size_t from,
                            std::size_t to) {
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t crossings = 0;
    for (std::size_t i = from + 1; i < to && i * 2 < out.size(); ++i) {
        if (out[(i - 1) * 2] < 0.0f && out[i * 2] >= 0.0f) {
            first = crossings == 0 ? i : first;
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0
                         : static_cast<double>(crossings - 1) * static_cast<double>(rate) /
                               static_cast<double>(last - first);
}

// The largest step between neighbouring frames of one channel: a click shows as a jump.
inline double largestStep(const std::vector<float>& out, int channel) {
    double step = 0.0;
    for (std::size_t i = 1; i * 2 + 1 < out.size(); ++i) {
        step = std::max(step, std::fabs(double{out[i * 2 + channel]} - out[(i - 1) * 2 + channel]));
    }
    return step;
}

} // namespace vendrel::testing

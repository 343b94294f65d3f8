#pragma once
// A decoded sound held in memory: float frames, interleaved when stereo. A sample is loaded
// once and shared by every channel that plays it; it never changes after decoding.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vendrel {

struct Sample {
    std::vector<float> data;    // frameCount() × channels values in -1..1
    std::uint32_t channels = 1; // 1 or 2
    std::uint32_t rate = 44100; // frames per second

    [[nodiscard]] std::size_t frameCount() const { return channels ? data.size() / channels : 0; }
};

// Limits every decoder checks before it allocates: the server chooses the files.
inline constexpr std::uint32_t kMinSampleRate = 1000;
inline constexpr std::uint32_t kMaxSampleRate = 384000;
inline constexpr std::size_t kMaxSampleValues = std::size_t{1} << 27; // 512 MiB of floats
inline constexpr std::uintmax_t kMaxSoundFileBytes = std::uintmax_t{256} << 20;

} // namespace vendrel

#pragma once
// Hands out a source's interleaved stereo at another rate, by linear interpolation. An output
// whose device will not take our mix rate puts this between the mixer and the device; the
// mixer itself always runs at one rate, so voices and slides keep their timing.
//
// The output thread only; nothing allocates after construction.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vendrel {

class RateConverter {
public:
    using Source = std::function<void(float* out, std::size_t frames)>;

    // maxFrames: the most frames one render call asks for.
    RateConverter(std::uint32_t sourceRate, std::uint32_t targetRate, Source source,
                  std::size_t maxFrames);

    [[nodiscard]] std::size_t maxFrames() const { return maxFrames_; }
    // frames × 2 floats into out; frames above maxFrames are rendered in several pulls.
    void render(float* out, std::size_t frames);

private:
    void renderBlock(float* out, std::size_t frames);

    double step_; // source frames per target frame
    Source source_;
    std::size_t maxFrames_;
    // Source frames, interleaved stereo. The first held_ of them are left from the previous
    // block (at least the one the next output frame starts from).
    std::vector<float> buffer_;
    std::size_t held_ = 0;
    double position_ = 0.0; // in source frames from buffer_'s start
};

} // namespace vendrel

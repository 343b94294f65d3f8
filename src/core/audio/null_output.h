#pragma once
// The output with no device: it renders the mix on demand into memory, for tests, benchmarks
// and a machine without sound. The caller's thread is the mixer's output thread.

#include <cstddef>
#include <vector>

#include "audio/mixer.h"

namespace vendrel {

class NullOutput {
public:
    explicit NullOutput(Mixer& mixer) : mixer_(mixer) {}

    // Renders the next seconds of the mix (interleaved stereo) and returns them.
    [[nodiscard]] std::vector<float> render(double seconds);
    // The same into a caller's buffer of frames × 2 floats, allocating nothing.
    void renderInto(float* out, std::size_t frames) {
        mixer_.render(out, frames);
        framesRendered_ += frames;
    }

    [[nodiscard]] std::size_t framesRendered() const { return framesRendered_; }

private:
    Mixer& mixer_;
    std::size_t framesRendered_ = 0;
};

} // namespace vendrel

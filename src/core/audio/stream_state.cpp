#include "audio/stream_state.h"

#include <algorithm>

namespace vendrel {

void StreamRing::write(const float* frames, std::size_t count) {
    count = std::min(count, writable());
    std::uint64_t index = written_.load(std::memory_order_relaxed);
    while (count > 0) {
        // Up to the end of the buffer, then again from its start.
        const auto at = static_cast<std::size_t>(index % kStreamRingFrames);
        const std::size_t run = std::min(count, kStreamRingFrames - at);
        std::copy_n(frames, run * channels_, data_.data() + at * channels_);
        frames += run * channels_;
        index += run;
        count -= run;
    }
    written_.store(index, std::memory_order_release);
}

} // namespace vendrel

#include "audio/rate_converter.h"

#include <algorithm>
#include <cmath>

namespace vendrel {

RateConverter::RateConverter(std::uint32_t sourceRate, std::uint32_t targetRate, Source source,
                             std::size_t maxFrames)
    : step_(static_cast<double>(sourceRate) / static_cast<double>(std::max(targetRate, 1u))),
      source_(std::move(source)), maxFrames_(std::max<std::size_t>(maxFrames, 1)) {
    const auto capacity =
        static_cast<std::size_t>(std::ceil(step_ * static_cast<double>(maxFrames_))) + 4;
    buffer_.assign(capacity * 2, 0.0f);
}

void RateConverter::render(float* out, std::size_t frames) {
    while (frames > 0) {
        const std::size_t block = std::min(frames, maxFrames_);
        renderBlock(out, block);
        out += block * 2;
        frames -= block;
    }
}

void RateConverter::renderBlock(float* out, std::size_t frames) {
    const double end = position_ + step_ * static_cast<double>(frames);
    // The last source frame this block reads, or the one the next block starts from.
    const auto lastNeeded =
        std::max(static_cast<std::size_t>(position_ + step_ * static_cast<double>(frames - 1)) + 1,
                 static_cast<std::size_t>(end));
    if (lastNeeded >= held_) {
        source_(buffer_.data() + held_ * 2, lastNeeded + 1 - held_);
        held_ = lastNeeded + 1;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const double at = position_ + step_ * static_cast<double>(i);
        const auto index = static_cast<std::size_t>(at);
        const auto weight = static_cast<float>(at - static_cast<double>(index));
        for (std::size_t side = 0; side < 2; ++side) {
            const float from = buffer_[index * 2 + side];
            const float to = buffer_[(index + 1) * 2 + side];
            out[i * 2 + side] = from + (to - from) * weight;
        }
    }
    // Keep what the next block still reads; positions restart from the first kept frame.
    const auto first = static_cast<std::size_t>(end);
    std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(first * 2),
              buffer_.begin() + static_cast<std::ptrdiff_t>(held_ * 2), buffer_.begin());
    held_ -= first;
    position_ = end - static_cast<double>(first);
}

} // namespace vendrel

#include "audio/null_output.h"

#include <algorithm>
#include <cmath>

namespace vendrel {

std::vector<float> NullOutput::render(double seconds) {
    const double frames = std::round(seconds * mixer_.rate());
    const auto count = frames > 0.0 ? static_cast<std::size_t>(frames) : std::size_t{0};
    std::vector<float> out(count * 2);
    // In device-sized blocks, so that commands and slides see the clock a device would give.
    constexpr std::size_t kDeviceBlock = 480;
    for (std::size_t done = 0; done < count; done += kDeviceBlock) {
        mixer_.render(out.data() + done * 2, std::min(kDeviceBlock, count - done));
    }
    framesRendered_ += count;
    return out;
}

} // namespace vendrel

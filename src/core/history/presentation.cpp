#include "history/presentation.h"

#include <algorithm>

namespace vendrel {

void ChannelFlagsSnapshot::publish(const std::vector<Channel>& channels) {
    const std::size_t count = std::min(channels.size(), kMaxChannels);
    // Shrinking first and growing last: a reader never sees a channel whose flags are stale.
    count_.store(std::min(count, count_.load()));
    for (std::size_t i = 0; i < count; ++i) {
        flags_[i].store(channels[i].flags);
    }
    count_.store(count);
}

std::optional<std::uint32_t> ChannelFlagsSnapshot::flags(int channel) const {
    if (channel < 0 || static_cast<std::size_t>(channel) >= count_.load()) {
        return std::nullopt;
    }
    return flags_[static_cast<std::size_t>(channel)].load();
}

const Channel* Presentation::channel(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < channels.size()
               ? &channels[static_cast<std::size_t>(index)]
               : nullptr;
}

std::optional<std::uint32_t> Presentation::customColour(std::int64_t index) const {
    if (index < 0 || static_cast<std::uint64_t>(index) >= customColours.size()) {
        return std::nullopt;
    }
    return customColours[static_cast<std::size_t>(index)];
}

bool Presentation::isInCurrentView(std::int32_t channel) const {
    if (currentView < 0 || static_cast<std::size_t>(currentView) >= views.size()) {
        return false;
    }
    return (views[static_cast<std::size_t>(currentView)].mask >> (channel & 31) & 1u) != 0;
}

bool isDarkBackground(std::uint32_t windowColour) {
    const double red = (windowColour & 0xFF) / 255.0;
    const double green = (windowColour >> 8 & 0xFF) / 255.0;
    const double blue = (windowColour >> 16 & 0xFF) / 255.0;
    return 0.35 * red + 0.55 * green + 0.1 * blue <= 0.55;
}

} // namespace vendrel

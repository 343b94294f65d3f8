#pragma once
// Whether a sound asked for on a history channel may play now. Each channel of the
// presentation's table carries flag bits: 8 lets its sounds play while the program is in the
// foreground, 16 while it is in the background.

#include <cstdint>
#include <optional>

namespace vendrel {

inline constexpr std::uint32_t kChannelSoundsInForeground = 8;
inline constexpr std::uint32_t kChannelSoundsInBackground = 16;

// flags: the channel's flags, nothing for a channel number beyond the table, which counts as
// no channel at all (the sound plays) rather than reading past the table.
[[nodiscard]] inline bool mayPlayOnChannel(std::optional<std::uint32_t> flags, bool isForeground) {
    if (!flags) {
        return true;
    }
    return (*flags & (isForeground ? kChannelSoundsInForeground : kChannelSoundsInBackground)) != 0;
}

} // namespace vendrel

#pragma once
// The one history route: every line the history pane shows arrives here.

#include <cstdint>
#include <string>

namespace vendrel {

// Downloads report on this channel.
inline constexpr std::int32_t kDownloadChannel = 7;

class HistorySink {
public:
    virtual ~HistorySink() = default;
    // Any thread. The channel word carries the channel in bits 0 to 4 and an interrupt request
    // in bit 24.
    virtual void historyAdd(const std::u16string& text, std::int32_t channelWord) = 0;
};

} // namespace vendrel

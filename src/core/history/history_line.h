#pragma once
// One history line as the pane shows it and as it is spoken. The server formats a line with
// control characters: form feeds separate segments, and control characters at the start of a
// segment are marks (14 or 15 and a colour index, 16 link, 17 to 22 styles) that change the
// segment's look from the channel's.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ports/history_pane.h"

namespace vendrel {

struct Channel;

// Longer lines are shown cut (the whole text stays in the history): the rich text control
// needs seconds and hundreds of megabytes for a line of a few tens of kilobytes.
inline constexpr std::size_t kMaxShownLineLength = 16 * 1024;

struct HistoryLineLayout {
    std::vector<HistorySegment> segments;
    std::size_t cutLength = 0; // code units of text not shown
};

// The segments of a line with the channel's look and the marks applied; empty segments are
// skipped. With useColours false the segments leave the pane's colours alone. At most
// `limit` code units of text are kept, never splitting a surrogate pair.
[[nodiscard]] HistoryLineLayout layoutHistoryLine(std::u16string_view text, const Channel& channel,
                                                  const std::vector<std::uint32_t>& customColours,
                                                  bool useColours,
                                                  std::size_t limit = kMaxShownLineLength);

// The text as speech gets it: every control character but carriage return and line feed
// removed, nothing put in their place.
[[nodiscard]] std::u16string speakableText(std::u16string_view text);

} // namespace vendrel

#include "history/history_line.h"

#include "history/presentation.h"

namespace vendrel {
namespace {

constexpr char16_t kFormFeed = 12;
constexpr char16_t kColourMark = 14;
constexpr char16_t kOtherColourMark = 15;
constexpr char16_t kLinkMark = 16;
// Codes 17 to 22, in order.
constexpr std::uint32_t kStyleMarks[] = {text_effect::kBold,        text_effect::kItalic,
                                         text_effect::kUnderline,   text_effect::kStrikeout,
                                         text_effect::kSuperscript, text_effect::kSubscript};
// The channel effects a segment starts with: the four styles and the default colour.
constexpr std::uint32_t kChannelEffects = 0x4000000F;

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// Applies the marks at the start of a segment and returns where its text begins.
std::size_t applyMarks(std::u16string_view segment, HistorySegment& look,
                       const std::vector<std::uint32_t>& customColours) {
    std::size_t i = 0;
    while (i < segment.size() && segment[i] < 32) {
        const char16_t mark = segment[i++];
        if (mark == kColourMark || mark == kOtherColourMark) {
            if (i < segment.size()) {
                // The colour's code unit is consumed whatever it holds.
                const std::size_t index = static_cast<std::size_t>(segment[i++]) - 14;
                if (segment[i - 1] >= 14 && index < customColours.size()) {
                    look.colour = customColours[index];
                    look.effects &= ~text_effect::kDefaultColour;
                }
            }
        } else if (mark == kLinkMark) {
            look.effects |= text_effect::kProtected | text_effect::kLink;
        } else if (mark >= 17 && mark <= 22) {
            look.effects |= kStyleMarks[mark - 17];
        }
    }
    return i;
}

void dropLastUnit(HistoryLineLayout& layout) {
    std::u16string& last = layout.segments.back().text;
    last.pop_back();
    ++layout.cutLength;
    if (last.empty()) {
        layout.segments.pop_back();
    }
}

} // namespace

HistoryLineLayout layoutHistoryLine(std::u16string_view text, const Channel& channel,
                                    const std::vector<std::uint32_t>& customColours,
                                    bool useColours, std::size_t limit) {
    HistoryLineLayout layout;
    std::size_t shown = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(kFormFeed, start);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        const std::u16string_view segment = text.substr(start, end - start);
        start = end + 1;
        if (segment.empty()) {
            continue;
        }
        HistorySegment look{{}, channel.effects & kChannelEffects, channel.colour, useColours};
        std::u16string_view rest = segment.substr(applyMarks(segment, look, customColours));
        if (layout.cutLength > 0) {
            // The line ends where it was cut: a short segment after it must not fill the
            // room a surrogate pair left, and show text out of its place.
            layout.cutLength += rest.size();
            continue;
        }
        if (shown + rest.size() > limit) {
            std::size_t keep = limit - shown;
            if (keep > 0 && isHighSurrogate(rest[keep - 1])) {
                --keep;
            } else if (keep == 0 && !layout.segments.empty() &&
                       isHighSurrogate(layout.segments.back().text.back())) {
                // The pane joins the segments, so a pair may straddle a form feed: its first
                // half goes too rather than end the line as half a character.
                dropLastUnit(layout);
            }
            layout.cutLength += rest.size() - keep;
            rest = rest.substr(0, keep);
        }
        shown += rest.size();
        if (!rest.empty()) {
            look.text = rest;
            layout.segments.push_back(std::move(look));
        }
    }
    return layout;
}

std::u16string speakableText(std::u16string_view text) {
    std::u16string spoken;
    spoken.reserve(text.size());
    for (const char16_t c : text) {
        if (c >= 32 || c == u'\r' || c == u'\n') {
            spoken.push_back(c);
        }
    }
    return spoken;
}

} // namespace vendrel

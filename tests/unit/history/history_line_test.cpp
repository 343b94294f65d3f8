// How a line's formatting characters become the pane's segments, and what speech gets.

#include "history/history_line.h"

#include <gtest/gtest.h>

#include <tuple>

#include "history/presentation.h"

namespace vendrel {
namespace {

using namespace text_effect;
using Look = std::tuple<std::u16string, std::uint32_t, std::uint32_t>; // text, effects, colour

std::vector<Look> looksOf(const HistoryLineLayout& layout) {
    std::vector<Look> looks;
    for (const HistorySegment& segment : layout.segments) {
        looks.emplace_back(segment.text, segment.effects, segment.colour);
    }
    return looks;
}

TEST(HistoryLineTest, MarksAndSegments) {
    const Channel channel{0, kItalic | kDefaultColour | 0x100, 0x111111, u"c"};
    const std::uint32_t plain = kItalic | kDefaultColour; // the channel's effects a segment takes
    const std::pair<std::u16string, std::vector<Look>> cases[] = {
        {u"\f\x11Hi\fthere", {{u"Hi", plain | kBold, 0x111111}, {u"there", plain, 0x111111}}},
        // 14 then 16: custom colour 2, not a link; the default colour is dropped.
        {u"\x0E\x10x", {{u"x", kItalic, 0xA2}}},
        // A colour beyond the table leaves the channel's; the colour unit is consumed anyway.
        {u"\x0F\x20y", {{u"y", plain, 0x111111}}},
        {u"\x0E", {}},
        {u"\x10\x13\x14\x15\x16link",
         {{u"link",
           plain | kProtected | kLink | kUnderline | kStrikeout | kSuperscript | kSubscript,
           0x111111}}},
        // A line feed at a segment's start is a mark; after text it stays in the text. A space
        // is text, even at a segment's start.
        {u"\nA\nB\f\f\x01\x1F", {{u"A\nB", plain, 0x111111}}},
        {u"\x11 a", {{u" a", plain | kBold, 0x111111}}},
    };
    for (const auto& [line, looks] : cases) {
        EXPECT_EQ(looksOf(layoutHistoryLine(line, channel, {0xA0, 0xA1, 0xA2}, true)), looks);
    }
    EXPECT_TRUE(layoutHistoryLine(u"x", channel, {}, true).segments[0].hasColour);
    EXPECT_FALSE(layoutHistoryLine(u"x", channel, {}, false).segments[0].hasColour);
    EXPECT_EQ(speakableText(u"\f\x11Hi\fthere\r\n\x0E\x10!"), u"Hithere\r\n!");
}

TEST(HistoryLineTest, LongLinesAreCutOutsideSurrogatePairs) {
    const std::u16string pair = u"\U0001F600";
    const std::u16string line = u"abc\f" + pair + u"def";
    const struct {
        std::u16string line;
        std::size_t limit;
        std::vector<Look> looks;
        std::size_t cut;
    } cases[] = {
        {line, 4, {{u"abc", 0, 0}}, 5},
        {line, 5, {{u"abc", 0, 0}, {pair, 0, 0}}, 3},
        {line, 3, {{u"abc", 0, 0}}, 5},
        // Once a line is cut, so is everything after: no later segment fills the room
        // a pair left.
        {u"abc\f" + pair + u"\fdef", 4, {{u"abc", 0, 0}}, 5},
        // A pair split by a form feed is still one character in the pane.
        {u"ab\f" + pair.substr(0, 1) + u"\f" + pair.substr(1) + u"x", 3, {{u"ab", 0, 0}}, 3}};
    for (const auto& c : cases) {
        const HistoryLineLayout layout = layoutHistoryLine(c.line, Channel{}, {}, true, c.limit);
        EXPECT_EQ(looksOf(layout), c.looks) << c.limit;
        EXPECT_EQ(layout.cutLength, c.cut) << c.limit;
    }
}

} // namespace
} // namespace vendrel

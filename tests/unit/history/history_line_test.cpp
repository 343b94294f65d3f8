// How a line's formatting characters become the pane's segments, and what speech gets.

#include "history/history_line.h"

#include <gtest/gtest.h>

#include "history/presentation.h"

namespace vendrel {
namespace {

using namespace text_effect;

struct Expected {
    std::u16string text;
    std::uint32_t effects;
    std::uint32_t colour;
};

TEST(HistoryLineTest, MarksAndSegments) {
    const Channel channel{0, kItalic | kDefaultColour | 0x100, 0x111111, u"c"};
    const std::vector<std::uint32_t> custom{0xA0, 0xA1, 0xA2};
    const std::uint32_t plain = kItalic | kDefaultColour; // the channel's effects a segment takes
    struct Case {
        std::u16string line;
        std::vector<Expected> segments;
    };
    const Case cases[] = {
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
        // A line feed at a segment's start is a mark; after text it stays in the text.
        {u"\nA\nB\f\f\x01\x1F", {{u"A\nB", plain, 0x111111}}},
        // A space is text, even at a segment's start.
        {u"\x11 a", {{u" a", plain | kBold, 0x111111}}},
        {u"", {}},
    };
    for (const Case& c : cases) {
        const HistoryLineLayout layout = layoutHistoryLine(c.line, channel, custom, true);
        ASSERT_EQ(layout.segments.size(), c.segments.size()) << c.segments.size();
        for (std::size_t i = 0; i < c.segments.size(); ++i) {
            EXPECT_EQ(layout.segments[i].text, c.segments[i].text);
            EXPECT_EQ(layout.segments[i].effects, c.segments[i].effects) << i;
            EXPECT_EQ(layout.segments[i].colour, c.segments[i].colour) << i;
            EXPECT_TRUE(layout.segments[i].hasColour);
        }
        EXPECT_EQ(layout.cutLength, 0u);
    }
    EXPECT_FALSE(layoutHistoryLine(u"x", channel, custom, false).segments[0].hasColour);
    EXPECT_EQ(speakableText(u"\f\x11Hi\fthere\r\n\x0E\x10!"), u"Hithere\r\n!");
}

TEST(HistoryLineTest, LongLinesAreCutOutsideSurrogatePairs) {
    const Channel channel{};
    const std::u16string pair = u"\U0001F600";
    const std::u16string line = u"abc\f" + pair + u"def";
    const struct {
        std::u16string line;
        std::size_t limit;
        std::vector<std::u16string> texts;
        std::size_t cut;
    } cases[] = {{line, 100, {u"abc", pair + u"def"}, 0},
                 {line, 4, {u"abc"}, 5},
                 {line, 5, {u"abc", pair}, 3},
                 {line, 3, {u"abc"}, 5},
                 // Once a line is cut, so is everything after: no later segment fills the room
                 // a pair left.
                 {u"abc\f" + pair + u"\fdef", 4, {u"abc"}, 5},
                 // A pair split by a form feed is still one character in the pane.
                 {u"ab\f" + pair.substr(0, 1) + u"\f" + pair.substr(1) + u"x", 3, {u"ab"}, 3}};
    for (const auto& c : cases) {
        const HistoryLineLayout layout = layoutHistoryLine(c.line, channel, {}, true, c.limit);
        std::vector<std::u16string> texts;
        for (const auto& segment : layout.segments) {
            texts.push_back(segment.text);
        }
        EXPECT_EQ(texts, c.texts) << c.limit;
        EXPECT_EQ(layout.cutLength, c.cut) << c.limit;
    }
}

} // namespace
} // namespace vendrel

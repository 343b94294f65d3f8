#include <gtest/gtest.h>

#include "fakes/fake_chat_line.h"
#include "net/focus_chat.h"
#include "net/links.h"

namespace vendrel {
namespace {

TEST(Links, OnlyMailCallAndOurOwnWebHost) {
    const std::pair<const char*, bool> cases[] = {
        {"https://web:1380/fr/register", true},
        {"https://web:1380", false}, // no "/" after the host
        {"https://web:1380.evil.example/", false},
        {"https://other.example/", false},
        {"mailto:someone@example.org", true},
        {"skype:someone", true},
        {"file:///C:/Windows/system32/calc.exe", false},
        {"javascript:alert(1)", false},
        {"", false},
    };
    for (const auto& [link, isAllowed] : cases) {
        EXPECT_EQ(isLinkAllowed(link, "web:1380"), isAllowed) << link;
    }
    EXPECT_FALSE(isLinkAllowed("http:///x", ""));
    // A web host written with its scheme names the same site.
    EXPECT_TRUE(isLinkAllowed("https://web:1380/page", "https://web:1380"));
    EXPECT_FALSE(isLinkAllowed("https://https://web:1380/page", "https://web:1380"));
}

TEST(FocusChat, FlagsPlaceTextFocusAndSelection) {
    struct Case {
        std::int32_t flags;
        std::u16string content; // before, with the selection "cd" of "abcdef"
        std::u16string expected;
        bool hasFocus;
        std::size_t start, end;
    };
    const Case cases[] = {
        {3, u"abcdef", u"hello", true, 0, 5},        // replace, focus, select all
        {0, u"abcdef", u"hello", false, 5, 5},       // replace, caret at the end
        {4, u"abcdef", u"abhelloef", false, 9, 9},   // insert over the selection
        {8 | 16, u"abcdef", u"abcdef", false, 2, 4}, // leave text and selection alone
        {4 | 16 | 1, u"abcdef", u"abhelloef", true, 7, 7},
    };
    for (const auto& c : cases) {
        testing::FakeChatLine line;
        line.content = c.content;
        line.selectionStart = 2;
        line.selectionEnd = 4;
        applyFocusChat(c.flags, u"hello", line);
        EXPECT_EQ(line.content, c.expected) << c.flags;
        EXPECT_EQ(line.hasFocus, c.hasFocus) << c.flags;
        EXPECT_EQ(line.selectionStart, c.start) << c.flags;
        EXPECT_EQ(line.selectionEnd, c.end) << c.flags;
    }
}

} // namespace
} // namespace vendrel

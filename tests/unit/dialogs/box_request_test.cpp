#include "dialogs/box_request.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "text/utf.h"

namespace vendrel {
namespace {

// The server's field separator written as '|', so the tables stay readable.
std::string fields(std::string text) {
    std::replace(text.begin(), text.end(), '|', '\x7f');
    return text;
}

TEST(BoxRequest, InputBoxFields) {
    struct Case {
        std::string arguments;
        std::int32_t id;
        std::u16string title, prompt, defaultText;
    };
    const Case cases[] = {
        {"4|Name|Your name:|Bob", 4, u"Name", u"Your name:", u"Bob"},
        // An empty title cannot be sent: the later fields move forward.
        {"4||Your name:|Bob", 4, u"Your name:", u"Bob", u""},
        {"||4|Name", 4, u"Name", u"", u""},
        {"4|Name|||", 4, u"Name", u"", u""},
        {"", 0, u"", u"", u""},
        {"|||", 0, u"", u"", u""},
        {"0x1f|a|b|c|d", 31, u"a", u"b", u"c"},
        {"010|null|null|null", 8, u"null", u"null", u"null"},
        {" -3|t", -3, u"t", u"", u""},
        {"abc|t", 0, u"t", u"", u""},
        {"99999999999|t", 2147483647, u"t", u"", u""},
        {"7|R\xC3\xA9glage|\xE2\x82\xAC|a b", 7, u"R\u00e9glage", u"\u20ac", u"a b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        for (const bool isMultiLine : {false, true}) {
            const InputBoxRequest request =
                parseInputBoxRequest(fields(c.arguments), isMultiLine, !isMultiLine);
            EXPECT_EQ(request.id, c.id);
            EXPECT_EQ(request.texts.title, c.title);
            EXPECT_EQ(request.texts.prompt, c.prompt);
            EXPECT_EQ(request.texts.defaultText, c.defaultText);
            EXPECT_EQ(request.texts.isMultiLine, isMultiLine);
            EXPECT_EQ(request.texts.isPassword, !isMultiLine);
        }
    }
}

TEST(BoxRequest, MessageBoxFields) {
    struct Case {
        std::string arguments;
        std::int32_t id;
        std::u16string caption, text;
        std::uint32_t type;
    };
    const Case cases[] = {
        {"9|Quit|Really?|36", 9, u"Quit", u"Really?", 36},
        {"9|Quit|Really?|0x24", 9, u"Quit", u"Really?", 36},
        {"9|Quit|Really?", 9, u"Quit", u"Really?", 0},
        {"9||Really?|36", 9, u"Really?", u"36", 0},
        {"9|Quit|Really?|-1", 9, u"Quit", u"Really?", 0xFFFFFFFFU},
        {"9|Quit|Really?|yes", 9, u"Quit", u"Really?", 0},
        {"", 0, u"", u"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const MessageBoxRequest request = parseMessageBoxRequest(fields(c.arguments));
        EXPECT_EQ(request.id, c.id);
        EXPECT_EQ(request.caption, c.caption);
        EXPECT_EQ(request.text, c.text);
        EXPECT_EQ(request.type, c.type);
    }
}

TEST(BoxRequest, AnswerTexts) {
    EXPECT_EQ(inputBoxAnswer(4, u"Bob"), fields("inbx 4|Bob"));
    EXPECT_EQ(inputBoxAnswer(4, u""), fields("inbx 4|"));
    EXPECT_EQ(inputBoxAnswer(-2, u"line 1\r\nline 2"), fields("inbx -2|line 1\r\nline 2"));
    EXPECT_EQ(inputBoxAnswer(1, u"\u00e9\u20ac"), fields("inbx 1|\xC3\xA9\xE2\x82\xAC"));
    // A text with % signs is data, not a format.
    EXPECT_EQ(inputBoxAnswer(1, u"100%s %d"), fields("inbx 1|100%s %d"));
    EXPECT_EQ(messageBoxAnswer(9, 6), fields("msgb 9|6"));
    EXPECT_EQ(messageBoxAnswer(0, 7), fields("msgb 0|7"));
}

TEST(BoxRequest, LongAnswersAreCutToTheLimitOnWholeCharacters) {
    const std::string prefix = fields("inbx 4|");
    const std::string ascii = inputBoxAnswer(4, std::u16string(50000, u'x'));
    EXPECT_EQ(ascii.size(), kInputBoxAnswerLimit);
    EXPECT_EQ(ascii.substr(0, prefix.size()), prefix);
    EXPECT_EQ(inputBoxAnswer(4, std::u16string(39999 - prefix.size(), u'x')).size(),
              kInputBoxAnswerLimit);

    // Two-byte characters after 8 bytes: the limit falls inside one, so it is left out.
    const std::string accented = inputBoxAnswer(4, u"x" + std::u16string(20000, u'\u00e9'));
    EXPECT_EQ(accented.size(), kInputBoxAnswerLimit - 1);
    EXPECT_EQ(toNarrow(toWide(accented)), accented); // still valid UTF-8

    struct Case {
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {"abc", 5, "abc"},
        {"abc", 3, "abc"},
        {"abc", 2, "ab"},
        {"a\xC3\xA9", 2, "a"},
        {"a\xE2\x82\xAC", 3, "a"},
        {"a\xE2\x82\xAC", 4, "a\xE2\x82\xAC"},
        {"a\xF0\x9F\x8E\xB2z", 4, "a"},
        {"a\xF0\x9F\x8E\xB2z", 5, "a\xF0\x9F\x8E\xB2"},
        {"\xC3\xA9", 1, ""},
        {"abc", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cutUtf8(c.text, c.limit), c.expected) << c.text << " at " << c.limit;
    }
}

} // namespace
} // namespace vendrel

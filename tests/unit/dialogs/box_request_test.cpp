#include "dialogs/box_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace vendrel {
namespace {

// The server's field separator written as '|', so the tables stay readable.
std::string fields(std::string text) {
    std::replace(text.begin(), text.end(), '|', '\x7f');
    return text;
}

TEST(BoxRequest, InputBoxFields) {
    const struct {
        std::string arguments;
        std::int32_t id;
        std::u16string title, prompt, defaultText;
    } cases[] = {
        {"4|Name|Your name:|Bob", 4, u"Name", u"Your name:", u"Bob"},
        // An empty field cannot be sent: the later fields move forward.
        {"4||Your name:|Bob", 4, u"Your name:", u"Bob", u""},
        {"", 0, u"", u"", u""},
        {"4|a|b|c|d", 4, u"a", u"b", u"c"},
        {"7|R\xC3\xA9glage|\xE2\x82\xAC|a b", 7, u"R\u00e9glage", u"\u20ac", u"a b"},
    };
    for (const auto& c : cases) {
        const InputBoxRequest request = parseInputBoxRequest(fields(c.arguments), true, false);
        const InputBoxTexts& texts = request.texts;
        EXPECT_EQ(request.id, c.id) << c.arguments;
        EXPECT_EQ((std::array{texts.title, texts.prompt, texts.defaultText}),
                  (std::array{c.title, c.prompt, c.defaultText}))
            << c.arguments;
        EXPECT_TRUE(texts.isMultiLine && !texts.isPassword);
    }
    EXPECT_TRUE(parseInputBoxRequest("1", false, true).texts.isPassword);
}

TEST(BoxRequest, MessageBoxFields) {
    const MessageBoxRequest request = parseMessageBoxRequest(fields("9|Quit|Really?"));
    EXPECT_EQ(request.id, 9);
    EXPECT_EQ(request.caption, u"Quit");
    EXPECT_EQ(request.text, u"Really?");
    EXPECT_EQ(request.type, 0u);
    // The style word is a bit set: a negative number keeps its bits.
    EXPECT_EQ(parseMessageBoxRequest(fields("9|Q|R|-1")).type, 0xFFFFFFFFU);
}

TEST(BoxRequest, AnswerTextsAndTheirLimit) {
    EXPECT_EQ(inputBoxAnswer(1, u"\u00e9\u20ac"), fields("inbx 1|\xC3\xA9\xE2\x82\xAC"));
    // A text with % signs is data, not a format.
    EXPECT_EQ(inputBoxAnswer(1, u"100%s %d"), fields("inbx 1|100%s %d"));
    EXPECT_EQ(messageBoxAnswer(9, 6), fields("msgb 9|6"));
    // Long answers are cut to the limit on whole characters.
    const std::string ascii = inputBoxAnswer(4, std::u16string(50000, u'x'));
    EXPECT_EQ(ascii, fields("inbx 4|") + std::string(kInputBoxAnswerLimit - 7, 'x'));
    // Two-byte characters after 8 bytes: the limit falls inside one, so it is left out.
    const std::string accented = inputBoxAnswer(4, u"x" + std::u16string(20000, u'\u00e9'));
    EXPECT_EQ(accented.size(), kInputBoxAnswerLimit - 1);

    const struct {
        std::string text;
        std::size_t limit;
        std::string expected;
    } cases[] = {
        {"abc", 3, "abc"},
        {"a\xE2\x82\xAC", 3, "a"},
        {"a\xE2\x82\xAC", 4, "a\xE2\x82\xAC"},
        {"a\xF0\x9F\x8E\xB2z", 4, "a"},
        {"\xC3\xA9", 1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cutUtf8(c.text, c.limit), c.expected) << c.text << " at " << c.limit;
    }
}

} // namespace
} // namespace vendrel

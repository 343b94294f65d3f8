#include "dialogs/box_request.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace vendrel {
namespace {

TEST(BoxRequest, InputBoxFields) {
    struct Case {
        std::string arguments;
        std::int32_t id;
        std::u16string title;
        std::u16string prompt;
        std::u16string defaultText;
    };
    const Case cases[] = {
        {"4\x7fName\x7fYour name:\x7f"
         "Bob",
         4, u"Name", u"Your name:", u"Bob"},
        // An empty title cannot be sent: the later fields move forward.
        {"4\x7f\x7fYour name:\x7f"
         "Bob",
         4, u"Your name:", u"Bob", u""},
        {"\x7f\x7f"
         "4\x7fName",
         4, u"Name", u"", u""},
        {"4\x7fName\x7f\x7f\x7f", 4, u"Name", u"", u""},
        {"", 0, u"", u"", u""},
        {"\x7f\x7f\x7f", 0, u"", u"", u""},
        {"0x1f\x7f"
         "a\x7f"
         "b\x7f"
         "c\x7f"
         "d",
         31, u"a", u"b", u"c"},
        {"010\x7fnull\x7fnull\x7fnull", 8, u"null", u"null", u"null"},
        {" -3\x7ft", -3, u"t", u"", u""},
        {"abc\x7ft", 0, u"t", u"", u""},
        {"99999999999\x7ft", 2147483647, u"t", u"", u""},
        {"7\x7fR\xC3\xA9glage\x7f\xE2\x82\xAC\x7f"
         "a b",
         7, u"R\u00e9glage", u"\u20ac", u"a b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const InputBoxRequest request = parseInputBoxRequest(c.arguments, false, false);
        EXPECT_EQ(request.id, c.id);
        EXPECT_EQ(request.texts.title, c.title);
        EXPECT_EQ(request.texts.prompt, c.prompt);
        EXPECT_EQ(request.texts.defaultText, c.defaultText);
    }
}

TEST(BoxRequest, InputBoxFlagsFollowTheCommand) {
    const std::string arguments = "1\x7ft\x7fp\x7f"
                                  "d";
    for (const bool isMultiLine : {false, true}) {
        for (const bool isPassword : {false, true}) {
            const InputBoxRequest request =
                parseInputBoxRequest(arguments, isMultiLine, isPassword);
            EXPECT_EQ(request.texts.isMultiLine, isMultiLine);
            EXPECT_EQ(request.texts.isPassword, isPassword);
        }
    }
}

TEST(BoxRequest, MessageBoxFields) {
    struct Case {
        std::string arguments;
        std::int32_t id;
        std::u16string caption;
        std::u16string text;
        std::uint32_t type;
    };
    const Case cases[] = {
        {"9\x7fQuit\x7fReally?\x7f"
         "36",
         9, u"Quit", u"Really?", 36},
        {"9\x7fQuit\x7fReally?\x7f"
         "0x24",
         9, u"Quit", u"Really?", 36},
        {"9\x7fQuit\x7fReally?", 9, u"Quit", u"Really?", 0},
        {"9\x7f\x7fReally?\x7f"
         "36",
         9, u"Really?", u"36", 0},
        {"9\x7fQuit\x7fReally?\x7f-1", 9, u"Quit", u"Really?", 0xFFFFFFFFU},
        {"9\x7fQuit\x7fReally?\x7fyes", 9, u"Quit", u"Really?", 0},
        {"", 0, u"", u"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const MessageBoxRequest request = parseMessageBoxRequest(c.arguments);
        EXPECT_EQ(request.id, c.id);
        EXPECT_EQ(request.caption, c.caption);
        EXPECT_EQ(request.text, c.text);
        EXPECT_EQ(request.type, c.type);
    }
}

TEST(BoxRequest, AnswerTexts) {
    EXPECT_EQ(inputBoxAnswer(4, u"Bob"), "inbx 4\x7f"
                                         "Bob");
    EXPECT_EQ(inputBoxAnswer(4, u""), "inbx 4\x7f");
    EXPECT_EQ(inputBoxAnswer(-2, u"line 1\r\nline 2"), "inbx -2\x7fline 1\r\nline 2");
    EXPECT_EQ(inputBoxAnswer(1, u"\u00e9\u20ac"), "inbx 1\x7f\xC3\xA9\xE2\x82\xAC");
    // A text with % signs is data, not a format.
    EXPECT_EQ(inputBoxAnswer(1, u"100%s %d"), "inbx 1\x7f"
                                              "100%s %d");
    EXPECT_EQ(messageBoxAnswer(9, 6), "msgb 9\x7f"
                                      "6");
    EXPECT_EQ(messageBoxAnswer(9, 7), "msgb 9\x7f"
                                      "7");
    EXPECT_EQ(messageBoxAnswer(0, 0), "msgb 0\x7f"
                                      "0");
}

TEST(BoxRequest, LongAnswersAreCutToTheLimitOnWholeCharacters) {
    const std::string prefix = "inbx 4\x7f";
    const std::string ascii = inputBoxAnswer(4, std::u16string(50000, u'x'));
    EXPECT_EQ(ascii.size(), kInputBoxAnswerLimit);
    EXPECT_EQ(ascii.substr(0, prefix.size()), prefix);
    EXPECT_EQ(inputBoxAnswer(4, std::u16string(39999 - prefix.size(), u'x')).size(),
              kInputBoxAnswerLimit);

    // Two-byte characters after 8 bytes: the limit falls inside one, so it is left out.
    const std::string accented = inputBoxAnswer(4, u"x" + std::u16string(20000, u'\u00e9'));
    EXPECT_EQ(accented.size(), kInputBoxAnswerLimit - 1);
    EXPECT_EQ(toNarrow(toWide(accented)), accented); // still valid UTF-8
    EXPECT_NE(static_cast<unsigned char>(accented.back()), 0xC3U);

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
        {"a\xE2\x82\xAC", 2, "a"},
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

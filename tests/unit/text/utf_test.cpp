#include "text/utf.h"

#include <gtest/gtest.h>

namespace vendrel {
namespace {

TEST(Utf, RoundTripsEveryPlane) {
    const std::string samples[] = {"", "abc", "Jérôme", "日本語", "𝄞 clef", "\x7f field"};
    for (const auto& sample : samples) {
        EXPECT_EQ(toNarrow(toWide(sample)), sample) << sample;
    }
    EXPECT_EQ(toWide("é"), u"é");
    EXPECT_EQ(toWide("𝄞"), std::u16string(u"\xD834\xDD1E"));
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    struct Case {
        std::string input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\xC3", u"\xFFFD"},                               // truncated sequence at the end
        {"a\xC3(", u"a\xFFFD("},                           // lead byte without continuation
        {"\xC0\xAF", u"\xFFFD\xFFFD"},                     // overlong encoding
        {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, // beyond U+10FFFF
        {"\xFF", u"\xFFFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toWide(c.input), c.expected);
    }
    EXPECT_EQ(toNarrow(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf, Companions) {
    EXPECT_EQ(wideFromUtf8z(nullptr), u"");
    EXPECT_EQ(wideFromUtf8z("ça"), u"ça");
    EXPECT_EQ(wideFromz(nullptr), u"");
    EXPECT_EQ(wideFromInt(-2147483647 - 1), u"-2147483648");
}

} // namespace
} // namespace vendrel

#include "text/utf.h"

#include <gtest/gtest.h>

namespace vendrel {
namespace {

TEST(Utf, RoundTripsSequencesOfEveryLength) {
    // One, two, three and four bytes; the last becomes a surrogate pair.
    const std::string narrow = "a\x7f é 日本 𝄞";
    const std::u16string wide = u"a\x7f é 日本 \xD834\xDD1E";
    EXPECT_EQ(toWide(narrow), wide);
    EXPECT_EQ(toNarrow(wide), narrow);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\xC3", u"\xFFFD"},                               // truncated sequence at the end
        {"a\xC3(", u"a\xFFFD("},                           // lead byte without continuation
        {"\xC0\xAF", u"\xFFFD\xFFFD"},                     // overlong encoding
        {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, // beyond U+10FFFF
        {"\xFF", u"\xFFFD"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(toWide(input), expected);
    }
    EXPECT_EQ(toNarrow(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD"); // lone surrogate
}

} // namespace
} // namespace vendrel

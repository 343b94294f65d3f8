#include "net/query_encoding.h"

#include <gtest/gtest.h>

#include "net/frame_bytes.h"

namespace vendrel {
namespace {

using testing::bytes;

TEST(QueryEncoding, UrlSafeAlphabetAndDotPadding) {
    struct Case {
        std::string input;
        const char* encoded;
    };
    const Case cases[] = {
        {"", ""},
        {"abc", "YWJj"},
        {"ab", "YWI."},
        {"a", "YQ.."},
        // Bytes are unsigned, and 62 and 63 are '-' and '_'.
        {bytes({0xFF, 0xFE}), "__4."},
        {bytes({0xFB, 0xFF}), "-_8."},
        {bytes({0xFB, 0xEF, 0xBE}), "----"},
        {bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), "AAECAwQFBgcICQ.."},
        // The field separator and UTF-8 pass like any other byte.
        {bytes({0xC3, 0xA9, 0x7F}), "w6l_"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeQuery(c.input), c.encoded) << c.encoded;
    }
}

TEST(QueryEncoding, NoLineBreaksInLongInput) {
    const std::string encoded = encodeQuery(std::string(300, 'x'));
    EXPECT_EQ(encoded.size(), 400u);
    EXPECT_EQ(encoded.find_first_of("\r\n="), std::string::npos);
}

} // namespace
} // namespace vendrel

#include "config/password_scramble.h"

#include <gtest/gtest.h>

#include <numeric>

namespace vendrel {
namespace {

TEST(ScramblePassword, IsRc4DroppingTheFirst1024Bytes) {
    // A plain RC4 written here: the text XORs the key stream from its 1025th byte on.
    const std::uint8_t key[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::string text = "s3cret pâté";
    std::uint8_t s[256];
    std::iota(std::begin(s), std::end(s), 0);
    for (int n = 0, j = 0; n < 256; ++n) {
        j = (j + s[n] + key[n % 8]) & 255;
        std::swap(s[n], s[j]);
    }
    std::string expected;
    for (std::size_t n = 0, i = 0, j = 0; n < 1024 + text.size(); ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        if (n >= 1024) {
            expected.push_back(static_cast<char>(text[n - 1024] ^ s[(s[i] + s[j]) & 255]));
        }
    }
    EXPECT_EQ(scramblePassword(text, key), expected);
}

TEST(Hex, EncodeAndDecode) {
    EXPECT_EQ(hexEncode(std::string("\x00\x0f\xff\x7f", 4)), "000fff7f");
    EXPECT_EQ(hexDecode("000fff7F"), std::string("\x00\x0f\xff\x7f", 4));
    EXPECT_EQ(hexDecode("abc"), std::string("\xab\x0c", 2)); // odd final digit read alone
    EXPECT_EQ(hexDecode(""), std::string());
    EXPECT_FALSE(hexDecode("zz"));
    EXPECT_FALSE(hexDecode("0g"));
}

} // namespace
} // namespace vendrel

#include "config/password_scramble.h"

#include <gtest/gtest.h>

#include "app/machine_key.h"

namespace vendrel {
namespace {

TEST(ScramblePassword, IsRc4DroppingTheFirst1024Bytes) {
    // Independent check: the key stream byte at position 1024 for the key 0x01..0x08 XORs a
    // zero byte, so scrambling zeros reveals the stream. Computed here with a plain RC4.
    const std::uint8_t key[] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t s[256];
    for (int n = 0; n < 256; ++n) {
        s[n] = static_cast<std::uint8_t>(n);
    }
    int j = 0;
    for (int n = 0; n < 256; ++n) {
        j = (j + s[n] + key[n % 8]) & 255;
        std::swap(s[n], s[j]);
    }
    int i = 0;
    j = 0;
    std::string stream;
    for (int n = 0; n < 1024 + 16; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        if (n >= 1024) {
            stream.push_back(static_cast<char>(s[(s[i] + s[j]) & 255]));
        }
    }
    EXPECT_EQ(scramblePassword(std::string(16, '\0'), key), stream);
}

TEST(ScramblePassword, RoundTripsWithTheSameKeyOnly) {
    const auto mine = machineKeyFromSerial(0x1234ABCD).bytes();
    const auto other = machineKeyFromSerial(0x1234ABCE).bytes();
    for (const std::string password : {"", "a", "s3cret pass", "pâté∞"}) {
        const std::string stored = hexEncode(scramblePassword(password, mine));
        EXPECT_EQ(stored.size(), password.size() * 2);
        const auto decoded = hexDecode(stored);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(scramblePassword(*decoded, mine), password);
        if (!password.empty()) {
            EXPECT_NE(scramblePassword(*decoded, other), password);
        }
    }
}

TEST(Hex, EncodeAndDecode) {
    EXPECT_EQ(hexEncode(std::string("\x00\x0f\xff\x7f", 4)), "000fff7f");
    EXPECT_EQ(hexDecode("000fff7F"), std::string("\x00\x0f\xff\x7f", 4));
    EXPECT_EQ(hexDecode("abc"), std::string("\xab\x0c", 2)); // odd final digit read alone
    EXPECT_EQ(hexDecode(""), std::string());
    EXPECT_FALSE(hexDecode("zz"));
    EXPECT_FALSE(hexDecode("0g"));
}

TEST(MachineKey, MasksTheSerialAndKeepsTheHighHalfZero) {
    const auto key = machineKeyFromSerial(0);
    EXPECT_EQ(key.value, kMachineKeyMask);
    EXPECT_EQ(machineKeyFromSerial(0xFFFFFFFF).value >> 32, 0u);
    const auto bytes = machineKeyFromSerial(0x01020304 ^ kMachineKeyMask).bytes();
    const std::array<std::uint8_t, 8> expected = {4, 3, 2, 1, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected);
}

} // namespace
} // namespace vendrel

#include "net/login_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "app/machine_key.h"
#include "net/frame_bytes.h"
#include "net/query_encoding.h"

namespace vendrel {
namespace {

using testing::bytes;

TEST(LoginRecord, Base36) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"}, {35, "z"}, {36, "10"}, {UINT64_MAX, "3w5e11264sgsf"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(toBase36(value), text) << value;
    }
}

TEST(LoginRecord, EightFieldsInOrderAndTheirEncoding) {
    LoginRecordInput input;
    input.login = "alice";
    input.password = "s3cret";
    input.language = "fr";
    input.machineKey = machineKeyFromSerial(0x12345678).value;
    input.systemVersion = systemVersionCode(10, 0);
    input.speechEngine = 0x40000;
    const std::string record = buildLoginRecord(input);
    // Fields apart by \177 (DEL); Windows 10 is system version 0x10A00.
    EXPECT_EQ(record, "alice\177s3cret\177fr\1772tc1\177l8wgbq\1772tc1\1771gjk\1775m9u");
    EXPECT_EQ(encodeQuery(record), "YWxpY2V_czNjcmV0f2ZyfzJ0YzF_bDh3Z2JxfzJ0YzF_MWdqa381bTl1");
    const std::string longLogin(2000, 'L');
    input.login = longLogin;
    EXPECT_EQ(buildLoginRecord(input), longLogin.substr(0, kMaxLoginRecord));
}

TEST(LoginRecord, SpeechEngineFieldIsUnsigned) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {-2, "0"},
        {-5, "1z141z1"},       // 4294967293: no minus sign
        {INT32_MAX, "zik0zl"}, // 2147483649: the sum does not overflow
    };
    for (const auto& [engine, field] : cases) {
        LoginRecordInput input;
        input.speechEngine = engine;
        const std::string record = buildLoginRecord(input);
        EXPECT_EQ(std::count(record.begin(), record.end(), '\177'), 7) << engine;
        EXPECT_EQ(record.substr(record.rfind('\177') + 1), field) << engine;
    }
}

TEST(QueryEncoding, UrlSafeAlphabetDotPaddingAndNoLineBreaks) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"ab", "YWI."},
        {"a", "YQ.."},
        // Bytes are unsigned, and 62 and 63 are '-' and '_'.
        {bytes({0xFB, 0xFF}), "-_8."},
    };
    for (const auto& [input, encoded] : cases) {
        EXPECT_EQ(encodeQuery(input), encoded) << encoded;
    }
    const std::string encoded = encodeQuery(std::string(300, 'x'));
    EXPECT_EQ(encoded.size(), 400u);
    EXPECT_EQ(encoded.find_first_of("\r\n="), std::string::npos);
}

} // namespace
} // namespace vendrel

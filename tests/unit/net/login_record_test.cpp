#include "net/login_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "app/machine_key.h"
#include "net/query_encoding.h"

namespace vendrel {
namespace {

TEST(LoginRecord, Base36) {
    struct Case {
        std::uint64_t value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},          {9, "9"},
        {10, "a"},         {35, "z"},
        {36, "10"},        {kClientVersionPacked, "2tc1"},
        {0x10A00, "1gjk"}, {UINT64_MAX, "3w5e11264sgsf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toBase36(c.value), c.text) << c.value;
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
}

TEST(LoginRecord, SpeechEngineFieldIsUnsigned) {
    struct Case {
        std::int32_t engine;
        const char* field;
    };
    const Case cases[] = {
        {-1, "1"},
        {-2, "0"},
        {-5, "1z141z1"},       // 4294967293: no minus sign
        {INT32_MAX, "zik0zl"}, // 2147483649: the sum does not overflow
    };
    for (const auto& c : cases) {
        LoginRecordInput input;
        input.speechEngine = c.engine;
        const std::string record = buildLoginRecord(input);
        EXPECT_EQ(std::count(record.begin(), record.end(), '\177'), 7) << c.engine;
        EXPECT_EQ(record.substr(record.rfind('\177') + 1), c.field) << c.engine;
    }
}

TEST(LoginRecord, CutTo1023Bytes) {
    const std::string login(2000, 'L');
    LoginRecordInput input;
    input.login = login;
    const std::string record = buildLoginRecord(input);
    EXPECT_EQ(record, login.substr(0, kMaxLoginRecord));
}

} // namespace
} // namespace vendrel

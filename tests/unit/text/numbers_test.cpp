#include "text/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace vendrel {
namespace {

TEST(Numbers, ReadsLikeStrtolWithBaseZero) {
    struct Case {
        const char* text;
        std::int64_t value;
        std::size_t length;
    };
    const Case cases[] = {
        {"0x1F", 31, 4},
        {"010", 8, 3},
        {"-5", -5, 2},
        {"abc", 0, 0},
        {"12abc", 12, 2},
        {"  +7", 7, 4},
        {"0x", 0, 1},
        {"09", 0, 1},
        {"", 0, 0},
        {"-", 0, 0},
        {"0XfF", 255, 4},
        {"\t42 ", 42, 3},
        {"99999999999999999999", INT64_MAX, 20},
        {"-99999999999999999999", INT64_MIN, 21},
    };
    for (const auto& c : cases) {
        const auto parsed = parseInteger(c.text);
        EXPECT_EQ(parsed.value, c.value) << c.text;
        EXPECT_EQ(parsed.length, c.length) << c.text;
    }
}

TEST(Numbers, Int32Saturates) {
    EXPECT_EQ(toInt32("2147483648"), INT32_MAX);
    EXPECT_EQ(toInt32("-2147483649"), INT32_MIN);
    EXPECT_EQ(toInt32("0xFFFFFFFF"), INT32_MAX);
    EXPECT_EQ(toInt32("-2147483648"), INT32_MIN);
}

TEST(Numbers, FloatsUseAFullStopWhateverTheLocale) {
    // A locale with a decimal comma must change neither reading nor writing.
    const bool hasCommaLocale = std::setlocale(LC_ALL, "fr_FR.UTF-8") != nullptr ||
                                std::setlocale(LC_ALL, "French_France.1252") != nullptr;
    EXPECT_EQ(formatDouble14(0.25), "0.25");
    EXPECT_EQ(formatDouble14(static_cast<double>(0.95f)), "0.94999998807907");
    EXPECT_EQ(formatDouble14(1.0), "1");
    EXPECT_DOUBLE_EQ(toDouble("0.25"), 0.25);
    EXPECT_DOUBLE_EQ(toDouble(" -1.5e2xyz"), -150.0);
    EXPECT_DOUBLE_EQ(toDouble("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(toDouble("0x10"), 16.0);
    EXPECT_DOUBLE_EQ(toDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(toDouble("12,5"), 12.0);
    EXPECT_TRUE(std::isinf(toDouble("1e999")));
    std::setlocale(LC_ALL, "C");
    (void)hasCommaLocale;
}

} // namespace
} // namespace vendrel

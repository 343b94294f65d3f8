#include "text/numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <random>

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

// Number-like texts for the comparisons with the C library below: signs, digits, points,
// exponents large and small, hexadecimal forms, infinity and NaN spellings, junk after.
class NumberTextGenerator {
public:
    explicit NumberTextGenerator(std::uint32_t seed) : rng_(seed) {}

    std::string next() {
        std::string text = pick({"", "", "", " ", "\t\n", "\v\f\r "});
        text += pick({"", "", "", "-", "+", "--", "+-", "-+", " -"});
        switch (below(8)) {
        case 0:
            text += pick({"inf", "INF", "Infinity", "infinit", "infinityx", "in", "nan", "NaN",
                          "nan()", "nan(123)", "nan(abc_9Z)", "nan(", "nan(1 2)", "nan)", "na"});
            break;
        case 1:
            text += pick({"0x", "0X", "0x.", "0x-5", "0x+5", "0xnan", "0xinf", "0xp3", "0x.p1",
                          "0x 1", "0", ".", "e5", "", "00x1"});
            break;
        case 2:
        case 3:
            text += pick({"0x", "0X"}) + hexMantissa() + exponent("pP");
            break;
        default:
            text += decimalMantissa() + exponent("eE");
            break;
        }
        return text + pick({"", "", "", "x", "e", "E+", "e-", "p", "p+1", ".", ",5", " 1", "abc",
                            std::string(1, '\0') + "1", "\x80", "0x1", "(1)"});
    }

private:
    int below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    std::string pick(std::initializer_list<std::string> choices) {
        return *(choices.begin() + below(static_cast<int>(choices.size())));
    }

    std::string digits(const char* alphabet, int alphabetSize, int maxCount) {
        std::string out;
        const int count = below(maxCount + 1);
        for (int n = 0; n < count; ++n) {
            out += alphabet[below(alphabetSize)];
        }
        return out;
    }

    // Short numbers, numbers with long runs of zeros on either side of the point, and numbers
    // with hundreds of digits whose rounding depends on the last of them.
    std::string decimalMantissa() {
        const int length = below(6) == 0 ? 800 : 20;
        std::string whole = digits("0123456789", 10, below(2) ? 3 : length);
        std::string fraction = digits("0123456789", 10, below(2) ? 3 : length);
        if (below(4) == 0) {
            fraction = std::string(static_cast<std::size_t>(below(400)), '0') + fraction;
        }
        if (below(4) == 0) {
            whole += std::string(static_cast<std::size_t>(below(400)), '0');
        }
        if (below(6) == 0) {
            return pick({"2.4703282292062327", "2.4703282292062328", "1.7976931348623157",
                         "1.797693134862315807", "2.2250738585072011", "4.9406564584124654",
                         "9007199254740993", "0.1", "1"});
        }
        switch (below(4)) {
        case 0:
            return whole;
        case 1:
            return "." + fraction;
        default:
            return whole + "." + fraction;
        }
    }

    std::string hexMantissa() {
        std::string whole = digits("0123456789abcdefABCDEF", 22, below(2) ? 3 : 20);
        std::string fraction = digits("0123456789abcdefABCDEF", 22, below(2) ? 3 : 20);
        if (below(4) == 0) {
            fraction = std::string(static_cast<std::size_t>(below(300)), '0') + fraction;
        }
        switch (below(4)) {
        case 0:
            return whole;
        case 1:
            return "." + fraction;
        default:
            return whole + "." + fraction;
        }
    }

    // Exponents near the limits of a double (and of its subnormals), far beyond them, with
    // leading zeros, or missing their digits.
    std::string exponent(const char* letters) {
        if (below(3) == 0) {
            return "";
        }
        std::string out(1, letters[below(2)]);
        out += pick({"", "", "+", "-", "-"});
        const int magnitude = below(5);
        if (magnitude == 0) {
            out += std::to_string(below(30));
        } else if (magnitude == 1) {
            out += std::to_string(280 + below(60));
        } else if (magnitude == 2) {
            out += std::to_string(1000 + below(200));
        } else if (magnitude == 3) {
            out += pick(
                {"", "000000000000000000000000001", "99999999999999999999", "4294967296", "x"});
        } else {
            out += "00" + std::to_string(below(400));
        }
        return out;
    }

    std::mt19937 rng_;
};

TEST(Numbers, ReadsFloatsExactlyAsStrtodInTheCLocale) {
    // Every value bit and every consumed character as the C library's strtod; NaN only needs
    // to be a NaN (its payload is the library's own).
    const char* spotChecks[] = {"--12",
                                "1E-400",
                                "0x-5",
                                "0xnan",
                                "-0x",
                                "0x1p-1075",
                                "1e400",
                                "0.0000000000000000000000000000000000000000000000000000000000000"
                                "0000000000000000000000000000000000000000000000000000000000000"
                                "0000000000000000000000000000000000000000000000000000000000000"
                                "0000000000000000000000000000000000000000000000000000000000000"
                                "0000000000000000000000000000000000000000000000000000000000000"
                                "0000000000000000000000000000000000000000000000000000000000001"};
    NumberTextGenerator generator(20260307);
    for (int n = 0; n < 40000; ++n) {
        const std::string text = n < static_cast<int>(std::size(spotChecks))
                                     ? std::string(spotChecks[n])
                                     : generator.next();
        char* end = nullptr;
        const double expected = std::strtod(text.c_str(), &end);
        const ParsedDouble actual = parseDouble(text);
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(actual.value)) << '"' << text << '"';
        } else {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(actual.value),
                      std::bit_cast<std::uint64_t>(expected))
                << '"' << text << "\" gives " << actual.value << ", strtod " << expected;
        }
        ASSERT_EQ(actual.length, static_cast<std::size_t>(end - text.c_str()))
            << '"' << text << '"';
        ASSERT_EQ(std::bit_cast<std::uint64_t>(toDouble(text)),
                  std::bit_cast<std::uint64_t>(actual.value));
    }
}

TEST(Numbers, ReadsIntegersExactlyAsStrtollWithBaseZero) {
    NumberTextGenerator generator(1321);
    for (int n = 0; n < 40000; ++n) {
        std::string text = generator.next();
        if (n % 3 == 0) { // integers are mostly short: keep whole digit runs in range often
            text = text.substr(0, 12);
        }
        char* end = nullptr;
        errno = 0;
        const long long expected = std::strtoll(text.c_str(), &end, 0);
        const ParsedInteger actual = parseInteger(text);
        ASSERT_EQ(actual.value, expected) << '"' << text << '"';
        ASSERT_EQ(actual.length, static_cast<std::size_t>(end - text.c_str()))
            << '"' << text << '"';
        const long long clamped = std::clamp<long long>(expected, INT32_MIN, INT32_MAX);
        ASSERT_EQ(toInt32(text), clamped) << '"' << text << '"';
    }
}

} // namespace
} // namespace vendrel

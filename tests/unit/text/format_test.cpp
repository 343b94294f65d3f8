#include "text/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace vendrel {
namespace {

// What the generated formats below never hold: several arguments, a width taken from the
// arguments, a result cut to the room given (size - 1 bytes as snprintf keeps; size code units
// for the wide form, as the Windows calls take), and wrong or missing arguments.
TEST(FormatText, ArgumentsInTurnCutsAndMismatches) {
    EXPECT_EQ(formatWide(64, u"%s (%s) %d%%", std::u16string(u"Salon"), "zoé", 95),
              u"Salon (zoé) 95%");
    EXPECT_EQ(formatText(64, "[%*d]", 3, 7), "[  7]");
    EXPECT_EQ(formatText(4, "abcdef"), "abc");
    EXPECT_EQ(formatText(6, "%d", 1234567), "12345");
    EXPECT_EQ(formatText(0, "abc"), "");
    EXPECT_EQ(formatWide(3, u"abcdef"), u"abc");
    // Formats come from editable language files: a wrong conversion must not crash.
    EXPECT_EQ(formatText(64, "%s and %s", "one"), "one and ");
    EXPECT_EQ(formatText(64, "%d", "text"), "0");
    EXPECT_EQ(formatText(64, "%s", 12), "12");
    EXPECT_EQ(formatWide(64, u"%s", "narrow é"), u"narrow é");
    EXPECT_EQ(formatText(64, "%q %"), "%q ");
    EXPECT_EQ(formatText(64, "%99999d", 1).size(), 63u);
}

template <typename T> void expectAsSnprintf(const std::string& format, T argument) {
    char buffer[1024]; // room for every output, so neither side cuts
    const int length = std::snprintf(buffer, sizeof buffer, format.c_str(), argument);
    ASSERT_TRUE(length >= 0 && length < 1024) << format;
    const std::string expected(buffer, static_cast<std::size_t>(length));
    ASSERT_EQ(formatText(1024, format, argument), expected) << format << " of " << argument;
    ASSERT_EQ(formatWide(1024, std::u16string(format.begin(), format.end()), argument),
              std::u16string(expected.begin(), expected.end()))
        << format;
}

// Formats a language file can hold, rendered by snprintf and by both formatters with the same
// typed argument: every flag, width, precision and length modifier of d i u o x X c s and %%,
// and of the floating-point conversions, in the combinations printf defines.
TEST(FormatText, FormatsExactlyAsSnprintf) {
#ifdef _WIN32
    // MinGW's printf is no reference: it gives "" for "%#.0o" of 0, a blank for "% u" and no
    // sign to a negative NaN. The native build compares with glibc's.
    GTEST_SKIP() << "MinGW's printf";
#endif
    std::mt19937 rng(2011);
    const auto below = [&](int n) {
        return static_cast<int>(rng() % static_cast<unsigned>(n));
    };
    // No subnormals: Debian's libSoundTouch, loaded by this program, sets the processor to
    // treat them as zero, and to_chars then sees a zero.
    const double floats[] = {0.0, -0.0, 1.0, 0.5, 123.456, 1e-5, 9.9999999, 1e300, HUGE_VAL, -NAN};
    const char* texts[] = {"", "a", "abc", "une longue phrase"};
    for (int n = 0; n < 30000 && !HasFatalFailure(); ++n) {
        const char conversion = "diuoxXcs%feEgGF"[below(15)];
        const bool isText = conversion == 'c' || conversion == 's';
        const bool isSigned = conversion == 'd' || conversion == 'i';
        const bool isFloating = std::string_view("feEgGF").find(conversion) != std::string::npos;
        std::string format = "[%";
        for (const char flag : std::string_view(conversion == '%' ? "" : "-+ #0")) {
            const bool isUndefined = (flag == '#' && (isText || isSigned || conversion == 'u')) ||
                                     (flag == '0' && isText);
            format += !isUndefined && below(3) == 0 ? std::string(1, flag) : "";
        }
        format += conversion != '%' && below(2) == 0 ? std::to_string(below(30)) : "";
        if (conversion != '%' && conversion != 'c' && below(2) == 0) {
            format += below(4) == 0 ? "." : "." + std::to_string(below(30));
        }
        // hh, h and none take an int; l, z and t glibc's long; ll and j a long long.
        const int modifier = isText || isFloating || conversion == '%' ? 0 : below(8);
        const char* modifiers[] = {"", "hh", "h", "l", "z", "t", "ll", "j"};
        format += modifiers[modifier] + std::string(1, conversion) + "]";
        const auto bits = static_cast<long long>(std::uint64_t{rng()} << 32 | rng());
        const long long value = bits >> below(64) >> (below(2) * 62); // small ones too
        // Unsigned conversions also get signed arguments, as callers pass them.
        const bool isUnsigned = !isSigned && below(2) == 0;
        if (isFloating) {
            expectAsSnprintf(format,
                             below(3) == 0 ? static_cast<double>(value) / 1024 : floats[below(10)]);
        } else if (conversion == 's') {
            expectAsSnprintf(format, texts[below(4)]);
        } else if (conversion == 'c' || conversion == '%') {
            expectAsSnprintf(format, static_cast<int>(value & 0x7f));
        } else if (modifier < 3) {
            isUnsigned ? expectAsSnprintf(format, static_cast<unsigned>(value))
                       : expectAsSnprintf(format, static_cast<int>(value));
        } else if (modifier < 6) {
            isUnsigned ? expectAsSnprintf(format, static_cast<unsigned long>(value))
                       : expectAsSnprintf(format, static_cast<long>(value));
        } else {
            isUnsigned ? expectAsSnprintf(format, static_cast<unsigned long long>(value))
                       : expectAsSnprintf(format, value);
        }
    }
}

} // namespace
} // namespace vendrel

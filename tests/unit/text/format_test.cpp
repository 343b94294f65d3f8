#include "text/format.h"

#include <gtest/gtest.h>

namespace vendrel {
namespace {

TEST(FormatText, PrintfConversions) {
    struct Case {
        std::string expected;
        std::string actual;
    };
    const Case cases[] = {
        {"Vendrel 2.1.1", formatText(64, "Vendrel %d.%d.%d", 2, 1, 1)},
        {"C:\\logs\\\\2026-03-07.log",
         formatText(512, "%s\\%04d-%02d-%02d.log", "C:\\logs\\", 2026, 3, 7)},
        {"[   42][42   ][-0042]", formatText(64, "[%5d][%-5d][%05d]", 42, 42, -42)},
        {"ff FF 0x1f 17 4294967295", formatText(64, "%x %X %#x %o %u", 255, 255, 31, 15, -1)},
        {"100%", formatText(8, "%d%%", 100)},
        {"1.50 2.5e+00 0.25", formatText(64, "%.2f %.1e %g", 1.5, 2.5, 0.25)},
        {"ab|  abc", formatText(64, "%.2s|%5s", "abc", "abc")},
        {"x", formatText(64, "%c", 'x')},
        {"[  7]", formatText(64, "[%*d]", 3, 7)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(FormatText, KeepsAtMostSizeMinusOneBytes) {
    const std::string long600(600, 'x');
    EXPECT_EQ(formatText(512, "%s", long600).size(), 511u);
    EXPECT_EQ(formatText(4, "abcdef"), "abc");
    EXPECT_EQ(formatText(1, "abc"), "");
    EXPECT_EQ(formatText(0, "abc"), "");
    EXPECT_EQ(formatText(6, "%d", 1234567), "12345");
}

TEST(FormatWide, KeepsAtMostSizeCodeUnits) {
    const std::u16string long600(600, u'é');
    EXPECT_EQ(formatWide(512, u"%s", long600).size(), 512u);
    EXPECT_EQ(formatWide(3, u"abcdef"), u"abc");
    EXPECT_EQ(formatWide(8, u"%d%%", 95), u"95%");
    EXPECT_EQ(formatWide(512, u"%s (%s)", std::u16string(u"Salon"), std::u16string(u"zoé")),
              u"Salon (zoé)");
}

TEST(FormatText, MismatchedOrMissingArgumentsStaySafe) {
    // Formats come from editable language files: a wrong conversion must not crash.
    EXPECT_EQ(formatText(64, "%s and %s", "one"), "one and ");
    EXPECT_EQ(formatText(64, "%d", "text"), "0");
    EXPECT_EQ(formatText(64, "%s", 12), "12");
    EXPECT_EQ(formatWide(64, u"%s", "narrow é"), u"narrow é");
    EXPECT_EQ(formatText(64, "%q %"), "%q ");
    EXPECT_EQ(formatText(64, "%99999d", 1).size(), 63u);
}

} // namespace
} // namespace vendrel

#include "menu/menu.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "menu_fixture.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::fields;

Menu parsed(const std::string& utf8) {
    Menu menu;
    parseMenu(menu, toWide(utf8));
    return menu;
}

TEST(MenuModel, FieldReaderSkipsRunsOfSeparatorsAndEndsEmpty) {
    FieldReader reader(u"\x7f\x7f"
                       u"a\x7f\x7f\x7f"
                       u"bc\x7f");
    EXPECT_EQ(reader.next(), u"a");
    EXPECT_EQ(reader.next(), u"bc");
    EXPECT_TRUE(reader.isAtEnd());
    EXPECT_EQ(reader.next(), u"");
    EXPECT_EQ(reader.nextNumber(), 0);
}

TEST(MenuModel, NumbersReadAsStrtolBaseZero) {
    const struct {
        std::u16string field;
        std::int32_t value;
    } cases[] = {{u"12", 12},    {u"-2", -2},  {u"0x1F", 31},
                 {u"010", 8},    {u"7abc", 7}, {u"abc", 0},
                 {u"", 0},       {u"+5", 5},   {u"99999999999", INT32_MAX},
                 {u"\u00e97", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(fieldNumber(c.field), c.value) << toNarrow(c.field);
    }
}

TEST(MenuModel, ParseMenuReadsHeaderAndItems) {
    const Menu menu = parsed(fields({"12", "1", "2", "0", "3", "x", "Play", "play", "null", "null",
                                     "Quit", "quit", "click", "#2"}));
    EXPECT_EQ(menu.id, 12);
    EXPECT_EQ(menu.columns, 1);
    EXPECT_EQ(menu.selection, 0);
    EXPECT_EQ(menu.flags, MENU_KEEP_OPEN | MENU_TYPE_AHEAD);
    const std::vector<MenuItem> expected = {{u"Play", u"play", u"", u""},
                                            {u"Quit", u"quit", u"click", u"#2"}};
    EXPECT_EQ(menu.items, expected);
}

TEST(MenuModel, ParseMenuEdgeCases) {
    const struct {
        const char* name;
        std::string text;
        std::vector<MenuItem> items;
    } cases[] = {
        {"no items", fields({"5", "1", "0", "0", "0", "x"}), {}},
        {"double separators count as one; null only empties key, sound, colour",
         fields({"5", "1", "1", "0", "0", "", "x", "", "null", "null", "", "null", "null"}),
         {{u"null", u"", u"", u""}}},
        {"missing sixth field shifts every item by one field",
         fields({"5", "1", "2", "0", "0", "A", "a", "s", "c", "B", "b"}),
         {{u"a", u"s", u"c", u"B"}, {u"b", u"", u"", u""}}},
        {"count beyond the items sent gives empty items",
         fields({"5", "1", "3", "0", "0", "x", "A", "a"}),
         {{u"A", u"a", u"", u""}, {}, {}}},
        {"surplus items are dropped",
         fields({"5", "1", "1", "0", "0", "x", "A", "a", "null", "null", "B", "b"}),
         {{u"A", u"a", u"", u""}}},
        {"negative count is none", fields({"5", "1", "-3", "0", "0", "x", "A"}), {}},
        {"separator item",
         fields({"5", "1", "1", "0", "0", "x", " ", "s"}),
         {{u" ", u"s", u"", u""}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parsed(c.text).items, c.items) << c.name;
    }
}

TEST(MenuModel, AbsurdCountsAreCappedWithoutCrashing) {
    const Menu menu = parsed(fields({"5", "1", "2000000000", "0", "0", "x", "A", "a", "n", "n"}));
    ASSERT_EQ(menu.items.size(), kMaxEmptyMenuItems);
    EXPECT_EQ(menu.items[0].text, u"A");
    EXPECT_EQ(menu.items.back(), MenuItem{});

    // Home, End and the row searches walk a whole row: its width is capped too.
    for (const char* columns : {"2147483647", "4294967295", "0x7fffffff"}) {
        EXPECT_EQ(parsed(fields({"1", columns, "0", "0", "0", "x"})).columns, kMaxMenuColumns)
            << columns;
    }

    // Items really present in the text are all kept, even beyond the cap for empty ones.
    std::string many = fields({"5", "1", "2000000000", "0", "0", "x"});
    for (std::size_t i = 0; i < kMaxEmptyMenuItems + 5; ++i) {
        many += "\x7fi\x7fk\x7fs\x7f"
                "c";
    }
    EXPECT_EQ(parsed(many).items.size(), kMaxEmptyMenuItems + 5);
}

TEST(MenuModel, UpdateMenuItem) {
    const Menu base = parsed(fields({"5", "1", "3", "1", "0", "x", "A", "a", "n", "n", "B", "b",
                                     "n", "n", "C", "c", "n", "n"}));
    const struct {
        const char* name;
        std::int32_t selectionBefore;
        std::string update;
        std::int32_t result;
        std::u16string labels;
        std::int32_t selectionAfter;
    } cases[] = {
        {"delete first keeps selection 0", 0, fields({"-1"}), -1, u"BC", 0},
        {"delete the selected item moves up", 1, fields({"-2"}), -2, u"AC", 0},
        {"delete before the selection keeps its number", 2, fields({"-1"}), -1, u"BC", 2},
        {"replace selects it", 0, fields({"1", "X", "x", "null", "null"}), 0, u"AXC", 1},
        {"index equal to count appends", 0, fields({"3", "D", "d", "null", "null"}), 4, u"ABCD", 3},
        {"index beyond count appends", 0, fields({"9", "D", "d", "null", "null"}), 10, u"ABCD", 3},
        {"deletion beyond the end appends", 0, fields({"-10", "D", "d", "null", "null"}), 10,
         u"ABCD", 3},
        {"lowest index appends", 0, fields({"-2147483648", "D"}), INT32_MAX, u"ABCD", 3},
    };
    for (const auto& c : cases) {
        Menu menu = base;
        menu.selection = c.selectionBefore;
        EXPECT_EQ(updateMenuItem(menu, toWide(c.update)), c.result) << c.name;
        std::u16string labels;
        for (const MenuItem& item : menu.items) {
            labels += item.text;
        }
        EXPECT_EQ(labels, c.labels) << c.name;
        EXPECT_EQ(menu.selection, c.selectionAfter) << c.name;
    }
}

TEST(MenuModel, ReplacementReplacesAllFourFields) {
    Menu menu = parsed(fields({"5", "1", "1", "0", "0", "x", "A", "a", "snd", "#1"}));
    ASSERT_EQ(updateMenuItem(menu, toWide(fields({"0", "B", "null", "null", "null"}))), 0);
    EXPECT_EQ(menu.items[0], (MenuItem{u"B", u"", u"", u""}));
}

} // namespace
} // namespace vendrel

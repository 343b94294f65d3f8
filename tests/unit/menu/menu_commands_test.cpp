// Menu texts as the server writes them, and its menu commands applied to the stack: what the
// list box and the player get.

#include <gtest/gtest.h>

#include <climits>

#include "menu/menu.h"
#include "menu_fixture.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::fields;
using testing::menuText;
using Said = std::vector<std::pair<std::u16string, bool>>;

Menu parsed(const std::string& utf8) {
    Menu menu;
    parseMenu(menu, toWide(utf8));
    return menu;
}

TEST(MenuModel, ParseMenuReadsTheHeaderAsStrtolNumbers) {
    const Menu menu = parsed(fields({"0x0C", "3", "0", "010", "3", "x"}));
    EXPECT_EQ(menu.id, 12);
    EXPECT_EQ(menu.columns, 3);
    EXPECT_EQ(menu.selection, 8);
    EXPECT_EQ(menu.flags, MENU_KEEP_OPEN | MENU_TYPE_AHEAD);
    // Home, End and the row searches walk a whole row: its width is capped.
    EXPECT_EQ(parsed(fields({"1", "2147483647", "0", "0", "0", "x"})).columns, kMaxMenuColumns);
}

TEST(MenuModel, FieldNumbersAreClampedAndAsciiOnly) {
    EXPECT_EQ(fieldNumber(u"-99999999999"), INT32_MIN);
    EXPECT_EQ(fieldNumber(u"\u0137"), 0); // not '7', although that is its low byte
    // Only a field's start is read, so a huge one costs nothing.
    EXPECT_EQ(fieldNumber(std::u16string(64, u'0') + u"5"), 0);
}

TEST(MenuModel, ParseMenuEdgeCases) {
    const struct {
        const char* name;
        std::string text;
        std::vector<MenuItem> items;
    } cases[] = {
        {"double separators count as one; null only empties key, sound, colour",
         fields({"5", "1", "1", "0", "0", "", "x", "", "null", "null", "", "null", "null"}),
         {{u"null", u"", u"", u""}}},
        {"missing sixth field shifts every item by one field",
         fields({"5", "1", "2", "0", "0", "A", "a", "s", "c", "B", "b"}),
         {{u"a", u"s", u"c", u"B"}, {u"b", u"", u"", u""}}},
        {"surplus items are dropped",
         fields({"5", "1", "1", "0", "0", "x", "A", "a", "null", "null", "B", "b"}),
         {{u"A", u"a", u"", u""}}},
        {"negative count is none", fields({"5", "1", "-3", "0", "0", "x", "A"}), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parsed(c.text).items, c.items) << c.name;
    }
}

TEST(MenuModel, AbsurdCountsAreCappedButItemsSentAreKept) {
    const Menu menu = parsed(fields({"5", "1", "2000000000", "0", "0", "x", "A", "a", "n", "n"}));
    EXPECT_EQ(menu.items.size(), kMaxEmptyMenuItems);
    EXPECT_EQ(menu.items[0].text, u"A");

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
        {"replace selects it", 2, fields({"0", "X", "x", "null", "null"}), 0, u"XBC", 0},
        {"index equal to count appends", 0, fields({"3", "D", "d", "null", "null"}), 4, u"ABCD", 3},
        {"deletion beyond the end appends", 0, fields({"-10", "D"}), 10, u"ABCD", 3},
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
    // A replacement replaces all four fields.
    Menu menu = parsed(fields({"5", "1", "1", "0", "0", "x", "A", "a", "snd", "#1"}));
    ASSERT_EQ(updateMenuItem(menu, toWide(fields({"0", "B", "null", "null", "null"}))), 0);
    EXPECT_EQ(menu.items[0], (MenuItem{u"B", u"", u"", u""}));
}

class MenuCommands : public testing::MenuFixture {
protected:
    std::vector<std::int32_t> stackIds() {
        std::vector<std::int32_t> ids;
        for (const Menu& menu : controller.menuStack()) {
            ids.push_back(menu.id);
        }
        return ids;
    }
};

TEST_F(MenuCommands, NewMenuIsPushedShownAndAnnounced) {
    controller.applyMenuCommand(fields({"7", "1", "2", "-1", "0", "x", "A", "a", "click", "null",
                                        "B", "b", "null", "null"}),
                                kMenuShow);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{7}));
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"A", u"B"}));
    EXPECT_EQ(selection(), 0); // a negative selection of a new menu becomes 0
    EXPECT_EQ(view.selection, 0);
    EXPECT_EQ(sounds.played, (std::vector<std::pair<std::string, int>>{{"click", 0}}));
    EXPECT_TRUE(speech.said.empty()); // the screen reader announces the list itself
    // A selection beyond the items is refused until a move lands.
    openMenu(4, 1, 5, 0, {"a", "b"});
    EXPECT_EQ(selection(), 5);
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(sounds.played.back().first, "menubounds");
    press(kVkHome);
    EXPECT_EQ(view.selection, 0);
}

TEST_F(MenuCommands, KeepSelectionRule) {
    const struct {
        const char* name;
        std::int32_t oldSelection;
        std::int32_t selection;
        std::vector<std::string> labels;
        std::int32_t expected;
    } cases[] = {
        {"-2: the old key found at a new place", 1, -2, {"x", "y", "b", "z"}, 2},
        {"-2: key gone, old index still valid", 1, -2, {"x", "y", "z"}, 1},
        {"-2: key gone, old index beyond the end", 2, -2, {"x", "y"}, 1},
        {"another negative keeps the old index, not the key", 1, -5, {"b", "x"}, 1},
        {"explicit selection", 0, 1, {"x", "y"}, 1},
    };
    for (const auto& c : cases) {
        controller.closeMenus(0);
        openMenu(3, 1, c.oldSelection, 0, {"a", "b", "c"});
        openMenu(3, 1, c.selection, 0, c.labels);
        EXPECT_EQ(selection(), c.expected) << c.name;
    }
}

TEST_F(MenuCommands, MenuUpdatesInPlaceAndMupdBringsToFront) {
    openMenu(1, 1, 0, 0, {"a"});
    openMenu(2, 1, 0, 0, {"b"});
    controller.applyMenuCommand(menuText(3, 1, 0, 0, {"c"}), kMenuUpdate); // unknown: on top
    openMenu(1, 1, 0, 0, {"n", "m"});
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(controller.menuStack().back().items.size(), 2u);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"c"})); // still showing menu 3

    controller.applyMenuCommand(menuText(1, 1, 0, 0, {"q"}), kMenuUpdate);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{1, 3, 2}));
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"q"}));
}

TEST_F(MenuCommands, ItemUpdatesChangeSingleLines) {
    openMenu(4, 1, 0, 0, {"a", "b"});
    const int refills = view.refills;
    controller.applyMenuCommand(fields({"2", "c", "c", "null", "null"}), kMenuItemUpdate);
    EXPECT_EQ(view.selection, 2);
    controller.applyMenuCommand(fields({"-1"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"b", u"c"}));
    EXPECT_EQ(view.refills, refills);
    EXPECT_EQ(view.selection, 1);

    speech.speaksMenus = true;
    controller.applyMenuCommand(fields({"0", "Z", "z", "null", "null"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Z", u"c"}));
    // The replaced item is read out without cutting off what is being said.
    EXPECT_EQ(speech.said, (Said{{u"Z", false}}));

    view.lines.pop_back(); // a line lost on the way: the list is filled again
    controller.applyMenuCommand(fields({"-1"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"c"}));
}

TEST_F(MenuCommands, CloseMenusAnnouncesTheMenuBelowWithInterrupt) {
    const struct {
        std::int32_t n;
        std::vector<std::int32_t> left;
    } cases[] = {{2, {3, 1}}, {9, {3, 2, 1}}, {0, {}}, {-1, {2, 1}}, {-7, {}}, {INT32_MIN, {}}};
    speech.speaksMenus = true;
    for (const auto& c : cases) {
        controller.closeMenus(0);
        openMenu(1, 1, 0, 0, {"1"});
        openMenu(2, 1, 0, 0, {"2"});
        openMenu(3, 1, 0, 0, {"3"});
        speech.said.clear();
        controller.closeMenus(c.n);
        EXPECT_EQ(stackIds(), c.left) << c.n;
        const Said said = c.left.empty() ? Said{} : Said{{wideFromInt(c.left.front()), true}};
        EXPECT_EQ(speech.said, said) << c.n;
    }
}

TEST_F(MenuCommands, MoveMenuSelectionCommand) {
    speech.speaksMenus = true;
    openMenu(4, 1, 0, 0, {"a", "b", "c"});
    controller.moveMenuSelectionCommand(fields({"4", "2"}));
    EXPECT_EQ(selection(), 2);
    forgetFeedback();
    controller.moveMenuSelectionCommand(fields({"5", "0"})); // not the current menu
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(speech.said, (Said{{u"c", true}}));
}

} // namespace
} // namespace vendrel

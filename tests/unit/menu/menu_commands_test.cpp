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

TEST(MenuModel, HeaderNumbersReadAsStrtolAsciiOnly) {
    const Menu menu = parsed(fields({"0x0C", "3", "0", "010", "3", "x"}));
    EXPECT_EQ(menu.id, 12);
    EXPECT_EQ(menu.columns, 3);
    EXPECT_EQ(menu.selection, 8);
    EXPECT_EQ(menu.flags, MENU_KEEP_OPEN | MENU_TYPE_AHEAD);
    // Home, End and the row searches walk a whole row: its width is capped.
    EXPECT_EQ(parsed(fields({"1", "2147483647", "0", "0", "0", "x"})).columns, kMaxMenuColumns);
    EXPECT_EQ(fieldNumber(u"\u0137"), 0); // not '7', although that is its low byte
    // Only a field's start is read, so a huge one costs nothing.
    EXPECT_EQ(fieldNumber(std::u16string(64, u'0') + u"5"), 0);
}

TEST(MenuModel, ItemFields) {
    const struct {
        const char* name;
        std::string text;
        std::vector<MenuItem> items;
    } cases[] = {
        {"double separators count as one; null only empties key, sound, colour",
         fields({"5", "1", "1", "0", "0", "", "x", "", "null", "null", "", "null", "null"}),
         {{u"null", u"", u"", u""}}},
        {"negative count is none", fields({"5", "1", "-3", "0", "0", "x", "A"}), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parsed(c.text).items, c.items) << c.name;
    }
    // An item update replaces all four fields too.
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

TEST_F(MenuCommands, MenusArePushedShownUpdatedAndBroughtToFront) {
    controller.applyMenuCommand(fields({"7", "1", "2", "-1", "0", "x", "A", "a", "click", "null",
                                        "B", "b", "null", "null"}),
                                kMenuShow);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{7}));
    EXPECT_EQ(selection(), 0); // a negative selection of a new menu becomes 0
    EXPECT_EQ(sounds.played, (std::vector<std::pair<std::string, int>>{{"click", 0}}));
    EXPECT_TRUE(speech.said.empty()); // the screen reader announces the list itself
    openMenu(4, 1, 5, 0, {"a", "b"}); // a selection beyond the items: refused till a move
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(sounds.played.back().first, "menubounds");

    // An update elsewhere in the stack stays behind; mupd brings its menu to the front.
    openMenu(1, 1, 0, 0, {"a"});
    openMenu(2, 1, 0, 0, {"b"});
    controller.applyMenuCommand(menuText(3, 1, 0, 0, {"c"}),
                                kMenuUpdate); // unknown: on top
    openMenu(1, 1, 0, 0, {"n", "m"});
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{3, 2, 1, 4, 7}));
    EXPECT_EQ(controller.menuStack()[2].items.size(), 2u);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"c"})); // still showing menu 3
    controller.applyMenuCommand(menuText(1, 1, 0, 0, {"q"}), kMenuUpdate);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{1, 3, 2, 4, 7}));
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"q"}));
}

TEST_F(MenuCommands, SelectionsTheServerSets) {
    const struct {
        const char* name;
        std::int32_t oldSelection, selection;
        std::vector<std::string> labels;
        std::int32_t expected;
    } cases[] = {
        {"-2: the old key found at a new place", 1, -2, {"x", "y", "b", "z"}, 2},
        {"-2: key gone, old index still valid", 1, -2, {"x", "y", "z"}, 1},
        {"-2: key gone, old index beyond the end", 2, -2, {"x", "y"}, 1},
        {"another negative keeps the old index, not the key", 1, -5, {"b", "x"}, 1},
    };
    for (const auto& c : cases) {
        controller.closeMenus(0);
        openMenu(3, 1, c.oldSelection, 0, {"a", "b", "c"});
        openMenu(3, 1, c.selection, 0, c.labels);
        EXPECT_EQ(selection(), c.expected) << c.name;
    }
    // The server's move applies to the current menu only; its item is said again either way.
    speech.speaksMenus = true;
    openMenu(4, 1, 0, 0, {"a", "b", "c"});
    controller.moveMenuSelectionCommand(fields({"4", "2"}));
    EXPECT_EQ(selection(), 2);
    forgetFeedback();
    controller.moveMenuSelectionCommand(fields({"5", "0"})); // not the current menu
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(speech.said, (Said{{u"c", true}}));
}

TEST_F(MenuCommands, ItemUpdatesChangeSingleLines) {
    openMenu(4, 1, 0, 0, {"a", "b"});
    const int refills = view.refills;
    controller.applyMenuCommand(fields({"2", "c"}), kMenuItemUpdate); // index = count: appended
    EXPECT_EQ(view.selection, 2);
    controller.applyMenuCommand(fields({"-3"}), kMenuItemUpdate); // the selected one: moves up
    EXPECT_EQ(view.selection, 1);
    controller.applyMenuCommand(fields({"-1"}), kMenuItemUpdate);
    // A deletion beyond the end appends, even at the lowest index.
    controller.applyMenuCommand(fields({"-10", "d"}), kMenuItemUpdate);
    controller.applyMenuCommand(fields({"-2147483648", "e"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"b", u"d", u"e"}));
    EXPECT_EQ(view.refills, refills);
    EXPECT_EQ(view.selection, 2);

    speech.speaksMenus = true;
    controller.applyMenuCommand(fields({"0", "Z", "z", "null", "null"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Z", u"d", u"e"}));
    // The replaced item is read out without cutting off what is being said.
    EXPECT_EQ(speech.said, (Said{{u"Z", false}}));

    view.lines.pop_back(); // a line lost on the way: the list is filled again
    controller.applyMenuCommand(fields({"-1"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"d", u"e"}));
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

} // namespace
} // namespace vendrel

// The server's menu commands applied to the stack, and what the list box and the player get.

#include <gtest/gtest.h>

#include "menu_fixture.h"

namespace vendrel {
namespace {

using testing::fields;

class MenuCommands : public testing::MenuFixture {
protected:
    std::vector<std::int32_t> stackIds() {
        std::vector<std::int32_t> ids;
        for (const Menu& menu : controller.menuStack()) {
            ids.push_back(menu.id);
        }
        return ids;
    }
    std::string menuText(int id, int selection, std::initializer_list<const char*> keys) {
        std::string text = fields({std::to_string(id), "1", std::to_string(keys.size()),
                                   std::to_string(selection), "0", "x"});
        for (const char* key : keys) {
            text += "\x7f" + fields({std::string("L") + key, key, "null", "null"});
        }
        return text;
    }
};

TEST_F(MenuCommands, NewMenuIsPushedShownAndAnnounced) {
    EXPECT_EQ(controller.currentMenuId(), -1);
    controller.applyMenuCommand(fields({"7", "1", "2", "-1", "0", "x", "A", "a", "click", "null",
                                        "B", "b", "null", "null"}),
                                kMenuShow);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{7}));
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"A", u"B"}));
    EXPECT_EQ(selection(), 0); // a negative selection of a new menu becomes 0
    EXPECT_EQ(view.selection, 0);
    EXPECT_EQ(sounds.played, (std::vector<std::pair<std::string, int>>{{"click", 0}}));
    EXPECT_TRUE(speech.said.empty()); // the screen reader announces the list itself
    EXPECT_TRUE(controller.menuExists(7));
    EXPECT_FALSE(controller.menuExists(8));
}

TEST_F(MenuCommands, KeepSelectionRule) {
    const struct {
        const char* name;
        std::int32_t oldSelection;
        std::string update;
        std::int32_t expected;
    } cases[] = {
        {"key found at a new place", 1, menuText(3, -2, {"x", "y", "b", "z"}), 2},
        {"key gone, old index still valid", 1, menuText(3, -2, {"x", "y", "z"}), 1},
        {"key gone, old index beyond the end", 2, menuText(3, -2, {"x", "y"}), 1},
        {"other negative selection keeps the old index", 1, menuText(3, -5, {"x", "b"}), 1},
        {"all items gone", 1, menuText(3, -2, {}), -1},
        {"explicit selection", 0, menuText(3, 1, {"x", "y"}), 1},
    };
    for (const auto& c : cases) {
        controller.closeMenus(0);
        controller.applyMenuCommand(menuText(3, c.oldSelection, {"a", "b", "c"}), kMenuShow);
        controller.applyMenuCommand(c.update, kMenuShow);
        EXPECT_EQ(selection(), c.expected) << c.name;
    }
}

TEST_F(MenuCommands, MenuUpdatesInPlaceAndMupdBringsToFront) {
    controller.applyMenuCommand(menuText(1, 0, {"a"}), kMenuShow);
    controller.applyMenuCommand(menuText(2, 0, {"b"}), kMenuShow);
    controller.applyMenuCommand(menuText(3, 0, {"c"}), kMenuUpdate); // unknown: opened on top
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{3, 2, 1}));

    controller.applyMenuCommand(menuText(1, 0, {"n", "m"}), kMenuShow);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(controller.menuStack().back().items.size(), 2u);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Lc"})); // still showing menu 3

    controller.applyMenuCommand(menuText(1, 0, {"q"}), kMenuUpdate);
    EXPECT_EQ(stackIds(), (std::vector<std::int32_t>{1, 3, 2}));
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Lq"}));
}

TEST_F(MenuCommands, SelectionBeyondItemsIsRefusedUntilAMoveLands) {
    controller.applyMenuCommand(menuText(4, 5, {"a", "b"}), kMenuShow);
    EXPECT_EQ(selection(), 5);
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(sounds.played.back().first, "menubounds");
    EXPECT_EQ(press(kVkHome, {}), KeyHandling::Swallowed);
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(view.selection, 0);
}

TEST_F(MenuCommands, ItemUpdatesChangeSingleLines) {
    controller.applyMenuCommand(fields({"1", "A"}), kMenuItemUpdate); // no menu: nothing
    EXPECT_EQ(view.refills, 0);
    controller.applyMenuCommand(menuText(4, 0, {"a", "b"}), kMenuShow);
    const int refills = view.refills;

    controller.applyMenuCommand(fields({"2", "Lc", "c", "null", "null"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"La", u"Lb", u"Lc"}));
    EXPECT_EQ(view.selection, 2);
    controller.applyMenuCommand(fields({"-1"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Lb", u"Lc"}));
    EXPECT_EQ(view.edits, (std::vector<std::string>{"append", "delete 0"}));
    EXPECT_EQ(view.refills, refills);
    EXPECT_EQ(selection(), 1);
    EXPECT_EQ(view.selection, 1);

    speech.speaksMenus = true;
    forgetFeedback();
    controller.applyMenuCommand(fields({"0", "Z", "z", "null", "null"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Z", u"Lc"}));
    // The replaced item is read out without cutting off what is being said.
    EXPECT_EQ(speech.said, (std::vector<std::pair<std::u16string, bool>>{{u"Z", false}}));
    EXPECT_EQ(view.refills, refills + 1);
    EXPECT_EQ(view.selection, 0);
}

TEST_F(MenuCommands, ItemUpdateRefillsWhenTheListDisagrees) {
    controller.applyMenuCommand(menuText(4, 0, {"a", "b"}), kMenuShow);
    view.lines.pop_back(); // a line lost on the way
    controller.applyMenuCommand(fields({"-1"}), kMenuItemUpdate);
    EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Lb"}));
}

TEST_F(MenuCommands, CloseMenus) {
    const struct {
        std::int32_t n;
        std::vector<std::int32_t> left;
    } cases[] = {
        {2, {3, 1}}, {9, {3, 2, 1}}, {0, {}},           {-1, {2, 1}},
        {-2, {1}},   {-7, {}},       {-1000000000, {}}, {INT32_MIN, {}},
    };
    for (const auto& c : cases) {
        controller.closeMenus(0);
        controller.applyMenuCommand(menuText(1, 0, {"a"}), kMenuShow);
        controller.applyMenuCommand(menuText(2, 0, {"b"}), kMenuShow);
        controller.applyMenuCommand(menuText(3, 0, {"c"}), kMenuShow);
        controller.closeMenus(c.n);
        EXPECT_EQ(stackIds(), c.left) << c.n;
        EXPECT_EQ(view.lines.size(), c.left.empty() ? 0u : 1u) << c.n;
    }
}

TEST_F(MenuCommands, CloseAnnouncesTheMenuBelowWithInterrupt) {
    speech.speaksMenus = true;
    controller.applyMenuCommand(menuText(1, 0, {"a"}), kMenuShow);
    controller.applyMenuCommand(menuText(2, 0, {"b"}), kMenuShow);
    forgetFeedback();
    controller.closeMenus(-1);
    EXPECT_EQ(speech.said, (std::vector<std::pair<std::u16string, bool>>{{u"La", true}}));
    controller.closeMenus(-1);
    EXPECT_EQ(speech.said.size(), 1u); // an empty stack announces nothing
    EXPECT_EQ(controller.currentMenuId(), -1);
}

TEST_F(MenuCommands, MoveMenuSelectionCommand) {
    speech.speaksMenus = true;
    controller.applyMenuCommand(menuText(4, 0, {"a", "b", "c"}), kMenuShow);
    controller.moveMenuSelectionCommand(fields({"4", "2"}));
    EXPECT_EQ(selection(), 2);
    forgetFeedback();
    controller.moveMenuSelectionCommand(fields({"5", "0"})); // not the current menu
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(speech.said, (std::vector<std::pair<std::u16string, bool>>{{u"Lc", true}}));
    forgetFeedback();
    controller.moveMenuSelectionCommand(fields({"4", "9"})); // beyond the items
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(sounds.played.front().first, "menubounds");
    controller.closeMenus(0);
    controller.moveMenuSelectionCommand(fields({"4", "0"})); // no menu: nothing at all
}

TEST_F(MenuCommands, LocalMenusReachTheHandler) {
    EXPECT_TRUE(controller.openLocalMenu(1012, 0));
    EXPECT_FALSE(controller.openLocalMenu(999, 3));
    controller.pushLocalMenu(-1014, MENU_KEEP_OPEN | MENU_KEYS_TO_MENU, 1, u"Audio",
                             {{u"one", u"", u"", u""}, {u"two", u"", u"menuchecked", u""}});
    EXPECT_EQ(controller.currentMenuId(), -1014);
    EXPECT_EQ(speech.said.front(), (std::pair<std::u16string, bool>{u"Audio", true}));
    EXPECT_EQ(sounds.played.back(), (std::pair<std::string, int>{"menuchecked", 0}));
    controller.activateItem(1);
    controller.forwardKey(kVkLeft, {true, false, false});
    EXPECT_EQ(localMenus.calls, (std::vector<std::string>{"open 1012 0", "open 999 3",
                                                          "choice 1014 1", "key 1014 37 shift"}));
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(controller.currentMenuId(), -1014); // kept open by its flag
}

} // namespace
} // namespace vendrel

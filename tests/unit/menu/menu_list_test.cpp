// The list's moves, searches, choices, forwarded keys, type-ahead and mouse.

#include <gtest/gtest.h>

#include "menu_fixture.h"

namespace vendrel {
namespace {

using testing::fields;

constexpr KeyModifiers kNone{};
constexpr KeyModifiers kShift{true, false, false};
constexpr KeyModifiers kCtrl{false, true, false};
constexpr KeyModifiers kAlt{false, false, true};

class MenuList : public testing::MenuFixture {
protected:
    void openGrid() { openMenu(9, 3, 0, MENU_KEEP_OPEN, {"a", "b", "c", "d", "e", "f", "g"}); }
};

TEST_F(MenuList, GridMoves) {
    const struct {
        const char* name;
        std::int32_t from;
        int key;
        KeyModifiers modifiers;
        std::int32_t to;
        bool isRefused;
    } cases[] = {
        {"Right within the row", 0, kVkRight, kNone, 1, false},
        {"Right from the row end", 2, kVkRight, kNone, 2, true},
        {"Left from the row start", 3, kVkLeft, kNone, 3, true},
        {"Down a row", 1, kVkDown, kNone, 4, false},
        {"Down past the last item", 5, kVkDown, kNone, 5, true},
        {"Down onto the short last row", 3, kVkDown, kNone, 6, false},
        {"Up from the first row", 2, kVkUp, kNone, 2, true},
        {"Ctrl+Down to the last of the column", 1, kVkDown, kCtrl, 5, false},
        // The last row counts as full: from the first column this lands on index 4.
        {"Ctrl+Down in a short last row", 0, kVkDown, kCtrl, 4, false},
        {"Ctrl+Up to the first of the column", 4, kVkUp, kCtrl, 1, false},
        {"Ctrl+Right to the row end", 3, kVkRight, kCtrl, 5, false},
        {"Ctrl+Left to the row start", 5, kVkLeft, kCtrl, 3, false},
        {"End to the row end", 0, kVkEnd, kNone, 2, false},
        {"End in the short last row", 6, kVkEnd, kNone, 6, false},
        {"Ctrl+Up in the first row", 2, kVkUp, kCtrl, 2, false},
        {"Ctrl+End to the last item", 0, kVkEnd, kCtrl, 6, false},
        {"Shift+Home to the first item", 5, kVkHome, kShift, 0, false},
        {"Home to the row start", 5, kVkHome, kNone, 3, false},
        {"Alt+Down is swallowed", 1, kVkDown, kAlt, 1, false},
    };
    for (const auto& c : cases) {
        openGrid();
        controller.moveSelection(c.from, false, true);
        forgetFeedback();
        EXPECT_EQ(press(c.key, c.modifiers), KeyHandling::Swallowed) << c.name;
        EXPECT_EQ(selection(), c.to) << c.name;
        const bool hasBoundsSound =
            !sounds.played.empty() && sounds.played.front().first == "menubounds";
        EXPECT_EQ(hasBoundsSound, c.isRefused) << c.name;
        controller.closeMenus(0);
    }
    EXPECT_TRUE(sent().empty());
}

TEST_F(MenuList, SeparatorsAreNeverSelected) {
    openMenu(2, 1, 0, 0, {"a", " ", "c"});
    EXPECT_FALSE(controller.isSelectable(1));
    EXPECT_FALSE(controller.isSelectable(3));
    EXPECT_FALSE(controller.isSelectable(-1));
    EXPECT_FALSE(controller.moveSelection(1, true, false)); // onto the separator
    EXPECT_EQ(selection(), 0);
    EXPECT_FALSE(controller.moveSelection(1, true, true));
    controller.onLeftButtonDown(1); // a click on it chooses nothing
    EXPECT_TRUE(sent().empty());

    openMenu(3, 1, 0, 0, {"a", "  ", " ", " "}); // two blanks are a label
    EXPECT_TRUE(controller.isSelectable(1));
    press(kVkEnd, kNone);
    EXPECT_EQ(selection(), 1);
    openMenu(4, 1, 2, 0, {"only", " ", " "});
    forgetFeedback();
    press(kVkEnd, kNone);
    EXPECT_EQ(selection(), 0);
    EXPECT_TRUE(sounds.played.empty());
    openMenu(5, 1, 0, 0, {" ", " "});
    press(kVkHome, kNone);
    EXPECT_EQ(sounds.played.back().first, "menubounds");
    // The server may select a separator: End in its row of separators stays in that row.
    openMenu(6, 3, 4, 0, {"a", "b", "c", " ", " ", " "});
    forgetFeedback();
    press(kVkEnd, kNone);
    EXPECT_EQ(selection(), 4);
    EXPECT_EQ(sounds.played.back().first, "menubounds");
}

TEST_F(MenuList, FeedbackOfMoves) {
    openMenu(2, 1, 0, 0, {"a", "b"});
    controller.applyMenuCommand(fields({"1", "b", "b", "beep 0.5", "null"}), kMenuItemUpdate);
    controller.moveSelection(0, false, true);
    forgetFeedback();
    EXPECT_TRUE(controller.moveSelection(1, true, false));
    EXPECT_EQ(sounds.played, (std::vector<std::pair<std::string, int>>{{"beep 0.5", 0}}));
    EXPECT_TRUE(speech.said.empty()); // the screen reader announces it
    forgetFeedback();
    EXPECT_FALSE(controller.moveSelection(1, true, false));
    EXPECT_EQ(sounds.played,
              (std::vector<std::pair<std::string, int>>{{"menubounds", -1}, {"beep 0.5", 0}}));
    EXPECT_EQ(speech.said, (std::vector<std::pair<std::u16string, bool>>{{u"b", true}}));
    speech.speaksMenus = true;
    forgetFeedback();
    EXPECT_TRUE(controller.moveSelection(-1, false, false));
    EXPECT_EQ(speech.said, (std::vector<std::pair<std::u16string, bool>>{{u"a", false}}));
    EXPECT_EQ(view.selection, 0);
}

TEST_F(MenuList, ListMenuWithoutColumnsStillMovesByLines) {
    openMenu(2, 0, 0, 0, {"a", "b"});
    press(kVkDown, kNone);
    EXPECT_EQ(selection(), 1);
}

TEST_F(MenuList, ChoosingClosesUnlessKeptOpen) {
    openMenu(1, 1, 0, MENU_KEEP_OPEN, {"a"});
    openMenu(2, 1, 0, 0, {"b"});
    speech.speaksMenus = true;
    forgetFeedback();
    press(kVkReturn, kNone);
    EXPECT_EQ(controller.currentMenuId(), 1);
    EXPECT_EQ(speech.said.back(), (std::pair<std::u16string, bool>{u"a", true}));
    press(kVkEscape, kNone);
    EXPECT_EQ(controller.currentMenuId(), 1);
    connection.loggedIn = false; // not sent, but a closing menu still closes
    openMenu(3, 1, 0, 0, {"c"});
    press(kVkReturn, kNone);
    EXPECT_EQ(controller.currentMenuId(), 1);
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(MenuList, ChoicesCancelsAndForwardedKeys) {
    constexpr int kToMenu = MENU_KEYS_TO_MENU;
    const struct {
        const char* name;
        int flags;
        std::vector<std::string> labels;
        std::int32_t selection;
        int key;
        KeyModifiers modifiers;
        std::string text;
    } cases[] = {
        {"Enter chooses", 0, {"A", "B"}, 0, kVkReturn, kNone, fields({"msel 7", "0", "a"})},
        {"Escape cancels", 0, {"A", "B"}, 0, kVkEscape, kNone, fields({"msel 7", "-1", "-1"})},
        {"Enter in an empty menu", 0, {}, 0, kVkReturn, kNone, fields({"msel 7", "-1", "-1"})},
        {"Shift+Enter is a key", 0, {"A"}, 0, kVkReturn, kShift, "key 269"},
        {"plain key", 0, {"A", "B"}, 1, 'X', kCtrl, "key 600"},
        {"menu key", kToMenu, {"A", "B"}, 1, 'X', kShift, fields({"mkey 344", "7", "1", "b"})},
        {"clamped", kToMenu, {"A", "B"}, 9, 'X', kNone, fields({"mkey 88", "7", "1", "b"})},
        {"keys-to-menu without items is a plain key", kToMenu, {}, 0, 'X', kNone, "key 88"},
        {"Left in a list is forwarded", 0, {"A"}, 0, kVkLeft, kNone, "key 37"},
        {"Shift+Up is forwarded", 0, {"A"}, 0, kVkUp, kShift, "key 294"},
        {"F1 is a game key", 0, {"A"}, 0, 112, kAlt, "key 1136"},
        {"letter without type-ahead", 0, {"A"}, 0, 'Q', kNone, "key 81"},
        {"modified letter despite type-ahead", MENU_TYPE_AHEAD, {"A"}, 0, 'Q', kCtrl, "key 593"},
    };
    for (const auto& c : cases) {
        const std::size_t before = sent().size();
        openMenu(7, 1, c.selection, c.flags | MENU_KEEP_OPEN, c.labels);
        press(c.key, c.modifiers);
        const std::vector<std::string> texts = sent();
        ASSERT_EQ(texts.size(), before + 1) << c.name;
        EXPECT_EQ(texts.back(), c.text) << c.name;
        controller.closeMenus(0);
    }
}

TEST_F(MenuList, ForwardAndSpeakRepeatsTheItemAfterAPause) {
    openMenu(7, 1, 0, 0, {"A"});
    forgetFeedback();
    press(kVkRight, kNone);
    EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{10}));
    EXPECT_EQ(speech.said, (std::vector<std::pair<std::u16string, bool>>{{u"A", true}}));
}

TEST_F(MenuList, KeysWithoutAMenu) {
    for (const int key : {kVkUp, kVkDown, kVkLeft, kVkRight, kVkHome, kVkEnd}) {
        EXPECT_EQ(press(key, kNone), KeyHandling::Swallowed) << key;
    }
    EXPECT_EQ(press(kVkEscape, kNone), KeyHandling::DefaultProcessing);
    EXPECT_EQ(press(kVkReturn, kNone), KeyHandling::Swallowed);
    EXPECT_EQ(press('A', kNone), KeyHandling::DefaultProcessing);
    EXPECT_EQ(press(116, kNone), KeyHandling::DefaultProcessing); // F5: ours
    controller.onCharacter(u'a', kNone);
    EXPECT_EQ(sent(), (std::vector<std::string>{"key 13", "key 65"}));
    EXPECT_TRUE(sounds.played.empty());
    EXPECT_TRUE(speech.said.empty());
    EXPECT_TRUE(clock.sleeps.empty()); // no pause to speak after a forwarded key
    EXPECT_EQ(view.beeps, 0);
}

TEST_F(MenuList, TypeAhead) {
    openMenu(7, 1, 0, MENU_TYPE_AHEAD | MENU_KEEP_OPEN,
             {"Apple", "Banana", "Bar", "Basil", "Cherry"});
    EXPECT_EQ(press('B', kNone), KeyHandling::DefaultProcessing);
    controller.onCharacter(u'b', kNone);
    EXPECT_EQ(selection(), 1);
    clock.now += 400;
    controller.onCharacter(u'a', kNone); // "ba", searched after Banana
    EXPECT_EQ(selection(), 2);
    clock.now += 100;
    controller.onCharacter(u's', kNone); // still within 500 ms of the last character
    EXPECT_EQ(selection(), 3);
    clock.now += 600;
    controller.onCharacter(u'a', kNone); // "a" alone, wrapping round to Apple
    EXPECT_EQ(selection(), 0);
    clock.now += 600;
    controller.onCharacter(u'z', kNone);
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(view.beeps, 1);
    controller.onCharacter(u'\t', kNone); // control characters are swallowed
    EXPECT_EQ(view.beeps, 1);
    EXPECT_TRUE(sent().empty());
}

TEST_F(MenuList, TypeAheadWithAutoActivate) {
    const int flags = MENU_TYPE_AHEAD | MENU_AUTO_ACTIVATE | MENU_KEEP_OPEN;
    openMenu(7, 1, 0, flags, {"Apple", "Banana"});
    controller.onCharacter(u'b', kNone);
    clock.now += 1000;
    controller.onCharacter(u'q', kShift); // no match: forwarded as the upper-case key
    clock.now += 1000;
    controller.onCharacter(u'!', kNone); // no match and not a letter: beep
    EXPECT_EQ(sent(), (std::vector<std::string>{fields({"msel 7", "1", "banana"}), "key 337"}));
    EXPECT_EQ(view.beeps, 1);
}

TEST_F(MenuList, TypedCharactersIgnoredWithoutTypeAhead) {
    openMenu(7, 1, 0, 0, {"Apple", "Banana"});
    controller.onCharacter(u'b', kNone);
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(view.beeps, 0);
}

TEST_F(MenuList, Mouse) {
    openMenu(7, 1, 0, MENU_KEEP_OPEN, {"a", "b", "c"});
    controller.onRightButtonDown(2);
    EXPECT_EQ(selection(), 2);
    controller.onMiddleButtonDown(1);
    EXPECT_EQ(selection(), 1);
    EXPECT_TRUE(sent().empty());
    controller.onLeftButtonDown(-1); // below the last line
    EXPECT_EQ(selection(), 1);
    controller.onLeftButtonDown(0);
    EXPECT_EQ(sent(), (std::vector<std::string>{fields({"msel 7", "0", "a"})}));
    EXPECT_TRUE(controller.onMouseMove(2));
    EXPECT_FALSE(controller.onMouseMove(2));
    EXPECT_EQ(controller.hoverIndex(), 2);
    EXPECT_TRUE(controller.onMouseMove(-1));
}

TEST_F(MenuList, ContextMenuAndReview) {
    std::vector<std::int32_t> reviews;
    controller.setReviewHistory([&](std::int32_t step) { reviews.push_back(step); });
    controller.onContextMenu(true, false);
    press(kVkPageUp, kNone);
    press(kVkPageDown, kShift);
    press(kVkPageUp, kCtrl);
    EXPECT_EQ(reviews, (std::vector<std::int32_t>{-1, 1000000000, -1000000000}));
    EXPECT_EQ(sent(), (std::vector<std::string>{"key 349"}));
}

} // namespace
} // namespace vendrel

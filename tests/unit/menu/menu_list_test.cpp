// The list's moves, searches, choices, forwarded keys and type-ahead.

#include <gtest/gtest.h>

#include "menu_fixture.h"

namespace vendrel {
namespace {

using testing::fields;
using Said = std::vector<std::pair<std::u16string, bool>>;

constexpr KeyModifiers kNone{};
constexpr KeyModifiers kShift{true, false, false};
constexpr KeyModifiers kCtrl{false, true, false};
constexpr KeyModifiers kAlt{false, false, true};

class MenuList : public testing::MenuFixture {};

TEST_F(MenuList, GridMovesAndSeparators) {
    const struct {
        const char* name;
        int from, key;
        KeyModifiers modifiers;
        std::int32_t to;
        bool isRefused;
    } cases[] = {
        // The grid: a b c / d e f / g
        {"Right from the row end", 2, kVkRight, kNone, 2, true},
        {"Left from the row start", 3, kVkLeft, kNone, 3, true},
        {"Down onto the short last row", 3, kVkDown, kNone, 6, false},
        {"Down past the last item", 5, kVkDown, kNone, 5, true},
        // The last row counts as full: from the first column this lands on index 4.
        {"Ctrl+Down in a short last row", 0, kVkDown, kCtrl, 4, false},
        {"Ctrl+Up to the first of the column", 4, kVkUp, kCtrl, 1, false},
        {"Ctrl+Right to the row end", 3, kVkRight, kCtrl, 5, false},
        {"End in the short last row", 6, kVkEnd, kNone, 6, false},
        {"Home to the row start", 5, kVkHome, kNone, 3, false},
        {"Shift+Home to the first item", 5, kVkHome, kShift, 0, false},
        {"Alt+Down is swallowed", 1, kVkDown, kAlt, 1, false},
    };
    for (const auto& c : cases) {
        openMenu(9, 3, c.from, MENU_KEEP_OPEN, {"a", "b", "c", "d", "e", "f", "g"});
        forgetFeedback();
        EXPECT_EQ(press(c.key, c.modifiers), KeyHandling::Swallowed) << c.name;
        EXPECT_EQ(selection(), c.to) << c.name;
        EXPECT_EQ(!sounds.played.empty(), c.isRefused) << c.name; // the bounds sound
        // A refused move changes nothing the screen reader hears, so the item is said.
        EXPECT_EQ(!speech.said.empty(), c.isRefused) << c.name;
        controller.closeMenus(0);
    }
    EXPECT_TRUE(sent().empty());

    openMenu(2, 1, 0, 0, {"a", " ", "c"});                  // separators are never selected
    EXPECT_FALSE(controller.moveSelection(1, true, false)); // onto the separator
    EXPECT_EQ(selection(), 0);
    controller.onLeftButtonDown(1); // a click on it chooses nothing
    EXPECT_TRUE(sent().empty());
    controller.onLeftButtonDown(2);
    EXPECT_EQ(sent(), (std::vector<std::string>{fields({"msel 2", "2", "c"})}));
    openMenu(3, 1, 0, 0, {"a", "  ", " ", " "}); // two blanks are a label
    press(kVkEnd);
    EXPECT_EQ(selection(), 1);
    // The server may select a separator: End in its row of separators stays in that row.
    openMenu(6, 3, 4, 0, {"a", "b", "c", " ", " ", " "});
    forgetFeedback();
    press(kVkEnd);
    EXPECT_EQ(selection(), 4);
    EXPECT_EQ(sounds.played.back().first, "menubounds");
}

TEST_F(MenuList, ChoicesCancelsAndKeysForTheGame) {
    EXPECT_EQ(press(kVkLeft), KeyHandling::Swallowed); // no menu yet
    EXPECT_EQ(press(kVkEscape), KeyHandling::DefaultProcessing);
    EXPECT_EQ(press(kVkReturn), KeyHandling::Swallowed);
    EXPECT_EQ(press('A'), KeyHandling::DefaultProcessing);
    EXPECT_EQ(sent(), (std::vector<std::string>{"key 13", "key 65"}));
    // A list without a column count moves by lines; Right goes to the game, and the item is
    // said again after a pause so that the screen reader's announcement of the key is not cut.
    openMenu(7, 0, 0, 0, {"A", "B"});
    press(kVkDown);
    press(kVkRight);
    EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{10}));
    EXPECT_EQ(speech.said, (Said{{u"B", true}}));
    controller.closeMenus(0);

    constexpr int kKeep = MENU_KEEP_OPEN;
    constexpr int kToMenu = MENU_KEYS_TO_MENU | kKeep;
    const struct {
        const char* name;
        std::vector<std::string> labels;
        int flags, selection, key;
        KeyModifiers modifiers;
        std::string text;
    } cases[] = {
        {"Enter chooses", {"a", "b"}, 0, 0, kVkReturn, kNone, fields({"msel 7", "0", "a"})},
        {"Escape cancels", {"a", "b"}, 0, 0, kVkEscape, kNone, fields({"msel 7", "-1", "-1"})},
        {"kept open", {"a", "b"}, kKeep, 1, kVkReturn, kNone, fields({"msel 7", "1", "b"})},
        {"Enter in an empty menu", {}, 0, 0, kVkReturn, kNone, fields({"msel 7", "-1", "-1"})},
        {"Shift+Enter is a key", {"a"}, 0, 0, kVkReturn, kShift, "key 269"},
        {"menu key", {"a", "b"}, kToMenu, 1, 'X', kShift, fields({"mkey 344", "7", "1", "b"})},
        {"clamped", {"a", "b"}, kToMenu, 9, 'X', kNone, fields({"mkey 88", "7", "1", "b"})},
        {"keys-to-menu without items is a plain key", {}, kToMenu, 0, 'X', kNone, "key 88"},
        {"Left in a list is forwarded", {"a"}, 0, 0, kVkLeft, kNone, "key 37"},
        {"F1 is a game key", {"a"}, 0, 0, 112, kAlt, "key 1136"},
        {"modified letter despite type-ahead", {"a"}, MENU_TYPE_AHEAD, 0, 'Q', kCtrl, "key 593"},
    };
    for (const auto& c : cases) {
        openMenu(1, 1, 0, 0, {"below"});
        openMenu(7, 1, c.selection, c.flags, c.labels);
        sentBefore = sockets.sentTexts(0).size();
        press(c.key, c.modifiers);
        EXPECT_EQ(sent(), std::vector<std::string>{c.text}) << c.name;
        // A choice or a cancel closes the menu unless it is kept open; a key never does.
        const bool isClosed = (c.flags & kKeep) == 0 && c.text.starts_with("msel");
        EXPECT_EQ(controller.currentMenuId(), isClosed ? 1 : 7) << c.name;
        controller.closeMenus(0);
    }
}

TEST_F(MenuList, TypeAhead) {
    openMenu(7, 1, 0, MENU_TYPE_AHEAD | MENU_KEEP_OPEN, {"apple", "banana", "bar", "cherry"});
    EXPECT_EQ(press('B'), KeyHandling::DefaultProcessing);
    controller.onCharacter(u'b', {});
    EXPECT_EQ(selection(), 1);
    clock.now += 400;
    controller.onCharacter(u'a', {}); // "ba", searched after banana
    EXPECT_EQ(selection(), 2);
    clock.now += 600;
    controller.onCharacter(u'a', {}); // "a" alone, wrapping round to apple
    EXPECT_EQ(selection(), 0);
    clock.now += 600;
    controller.onCharacter(u'z', {});
    controller.onCharacter(u'\t', {}); // control characters are swallowed
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(view.beeps, 1);
    EXPECT_TRUE(sent().empty());

    // Auto-activate: a match is chosen, and a letter or digit matching nothing goes to the game.
    openMenu(8, 1, 0, MENU_TYPE_AHEAD | MENU_AUTO_ACTIVATE | MENU_KEEP_OPEN, {"apple", "banana"});
    clock.now += 1000;
    controller.onCharacter(u'b', {});
    clock.now += 1000;
    controller.onCharacter(u'q', kShift); // no match: forwarded as the upper-case key
    clock.now += 1000;
    controller.onCharacter(u'!', {}); // no match and not a letter: beep
    EXPECT_EQ(sent(), (std::vector<std::string>{fields({"msel 8", "1", "banana"}), "key 337"}));
    EXPECT_EQ(view.beeps, 2);
}

// Page keys review the history from the list (Shift and Ctrl jump to its ends); the context
// menu key goes to the server as the key it is.
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

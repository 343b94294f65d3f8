#pragma once
// The menu stack and everything the menu list does with it: the server's menu commands, moves
// with their sound and speech, choices, forwarded keys, type-ahead and the mouse. It decides;
// the list box window only reports keys and clicks and shows what it is told (ListBoxView).
// Everything here runs on the GUI thread: the connection thread reaches it through GuiThread.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/control_keys.h"
#include "app/virtual_keys.h"
#include "menu/local_menus.h"
#include "menu/menu.h"

namespace vendrel {

class Clock;
class ListBoxView;
class OutgoingCommands;
class SoundPlayer;
class SpeechOutput;

// What menuCommand's mode means.
inline constexpr int kMenuItemUpdate = 0; // mupi
inline constexpr int kMenuShow = 1;       // menu
inline constexpr int kMenuUpdate = 2;     // mupd

// Typed characters within this many milliseconds of the previous one extend the search.
inline constexpr std::int64_t kTypeAheadPauseMs = 500;

using KeyModifiers = Modifiers;

enum class KeyHandling { Swallowed, DefaultProcessing };

struct MenuPorts {
    ListBoxView& view;
    OutgoingCommands& outgoing;
    SoundPlayer& sounds;
    SpeechOutput& speech;
    Clock& clock;
};

class MenuController {
public:
    MenuController(const MenuPorts& ports, const GameKeyTable& gameKeys);
    MenuController(const MenuController&) = delete;
    MenuController& operator=(const MenuController&) = delete;

    void setLocalMenus(LocalMenus& localMenus) { localMenus_ = &localMenus; }
    // Page Up and Page Down read the history; the history pane provides this.
    void setReviewHistory(std::function<void(std::int32_t)> review) {
        reviewHistory_ = std::move(review);
    }

    // The stack. Its front is the menu shown.
    [[nodiscard]] const std::deque<Menu>& menuStack() const { return menuStack_; }
    [[nodiscard]] Menu* currentMenu() { return menuStack_.empty() ? nullptr : &menuStack_.front(); }
    [[nodiscard]] std::int32_t currentMenuId() const;
    [[nodiscard]] bool menuExists(std::int32_t id) const;
    [[nodiscard]] bool isSelectable(std::int64_t index) const;
    [[nodiscard]] std::int32_t hoverIndex() const { return hoverIndex_; }

    // The server's commands (the dispatcher's CommandEffects hand them over).
    void applyMenuCommand(const std::string& utf8Text, int mode);
    void closeMenus(std::int32_t n);
    // mmve: moves the current menu's selection when the id matches, then re-announces.
    void moveMenuSelectionCommand(const std::string& utf8Text);
    // lmnu and the main window's option commands; false when no local menu has that id.
    bool openLocalMenu(std::int32_t commandId, std::int32_t selection);
    // For the local menus: push a new menu, speak its title, refresh and announce.
    void pushLocalMenu(std::int32_t id, std::uint32_t flags, std::int32_t selection,
                       const std::u16string& title, std::vector<MenuItem> items);

    // The list box from the current menu; the selection is set by the next move.
    void refillMenuList();
    // The list box from the current menu with its selection shown, nothing announced.
    void refillKeepingSelection();
    // Takes the front menu off the stack, nothing refreshed or announced: the caller shows
    // what comes next.
    void popMenu();
    // Refill, then announce the current item.
    void refreshAndAnnounce(bool interrupt);
    // Returns whether the move was accepted.
    bool moveSelection(std::int32_t delta, bool interrupt, bool absolute);
    void activateItem(std::int32_t index);
    void forwardKey(int virtualKey, KeyModifiers modifiers);

    // The six searches for a selectable item.
    void selectFirstOfMenu();
    void selectLastOfMenu();
    void selectFirstOfRow();
    void selectLastOfRow();
    void selectFirstOfColumn();
    void selectLastOfColumn();

    // The list box's messages.
    [[nodiscard]] KeyHandling onKeyDown(int virtualKey, KeyModifiers modifiers);
    // Character messages are always swallowed: they either search or are ignored.
    void onCharacter(char16_t character, KeyModifiers modifiers);
    // The Applications key or Shift+F10.
    void onContextMenu(bool shift, bool ctrl);
    // `line` is the list line under the pointer, -1 for none.
    void onLeftButtonDown(std::int32_t line);
    void onRightButtonDown(std::int32_t line);
    void onMiddleButtonDown(std::int32_t line);
    // True when the line under the pointer changed and the list needs redrawing.
    [[nodiscard]] bool onMouseMove(std::int32_t line);

private:
    void applyItemUpdate(const std::u16string& text);
    void applyMenuText(const std::u16string& text, int mode);
    // Selects the first selectable of count indices first, first + step, ...
    void selectAlong(std::int64_t first, std::int64_t step, std::int64_t count);
    void forwardAndSpeak(int virtualKey, KeyModifiers modifiers);
    KeyHandling onArrowKey(int virtualKey, KeyModifiers modifiers);
    KeyHandling onHomeOrEnd(bool isHome, KeyModifiers modifiers);
    void typeAhead(char16_t character, KeyModifiers modifiers);

    MenuPorts ports_;
    const GameKeyTable& gameKeys_;
    LocalMenus defaultLocalMenus_;
    LocalMenus* localMenus_ = &defaultLocalMenus_;
    std::function<void(std::int32_t)> reviewHistory_;
    std::deque<Menu> menuStack_;
    std::int32_t hoverIndex_ = -1;
    std::u16string typeAheadBuffer_;
    std::int64_t lastTypedMs_ = 0;
    bool hasTyped_ = false;
};

} // namespace vendrel

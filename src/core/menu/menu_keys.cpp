// The list's keyboard, type-ahead, mouse and the searches for a selectable item.

#include <algorithm>

#include "menu/menu_controller.h"
#include "ports/clock.h"
#include "ports/list_box_view.h"
#include "ports/speech_output.h"

namespace vendrel {
namespace {

constexpr std::int32_t kReviewToEnd = 1000000000;
// The pause before the item is spoken again after a forwarded key, so the screen reader's own
// announcement of the key does not cut it off.
constexpr std::int64_t kForwardSpeakPauseMs = 10;

bool isLetterDigitOrBlank(int virtualKey) {
    return virtualKey == kVkSpace || (virtualKey >= '0' && virtualKey <= '9') ||
           (virtualKey >= 'A' && virtualKey <= 'Z');
}

bool isTypedLetterDigitOrBlank(char16_t c) {
    return c == u' ' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
           (c >= u'A' && c <= u'Z');
}

bool hasNoModifier(KeyModifiers modifiers) {
    return !modifiers.shift && !modifiers.ctrl && !modifiers.alt;
}

} // namespace

void MenuController::selectFirstOfMenu() {
    selectAlong(0, 1, menuStack_.empty() ? 0 : menuStack_.front().itemCount());
}

void MenuController::selectLastOfMenu() {
    const std::int64_t count = menuStack_.empty() ? 0 : menuStack_.front().itemCount();
    selectAlong(count - 1, -1, count);
}

namespace {

struct Grid {
    std::int64_t columns;
    std::int64_t rowStart;
    std::int64_t column;
    std::int64_t rows; // indices a column search tries
};

Grid gridOf(const Menu& menu) {
    const std::int64_t columns = std::max(menu.columns, 1);
    const std::int64_t count = menu.itemCount();
    // A column search goes down rows until it has passed the last full row.
    const std::int64_t rows =
        count - columns <= 0 ? 1 : (count - columns + columns - 1) / columns + 1;
    return {columns, menu.selection / columns * columns, menu.selection % columns, rows};
}

} // namespace

void MenuController::selectFirstOfRow() {
    if (!menuStack_.empty()) {
        const Grid grid = gridOf(menuStack_.front());
        selectAlong(grid.rowStart, 1, grid.columns);
    }
}

void MenuController::selectLastOfRow() {
    if (!menuStack_.empty()) {
        const Grid grid = gridOf(menuStack_.front());
        selectAlong(grid.rowStart + grid.columns - 1, -1, grid.columns);
    }
}

void MenuController::selectFirstOfColumn() {
    if (!menuStack_.empty()) {
        const Grid grid = gridOf(menuStack_.front());
        selectAlong(grid.column, grid.columns, grid.rows);
    }
}

void MenuController::selectLastOfColumn() {
    if (!menuStack_.empty()) {
        const Menu& menu = menuStack_.front();
        const Grid grid = gridOf(menu);
        selectAlong(menu.itemCount() - grid.columns + grid.column, -grid.columns, grid.rows);
    }
}

void MenuController::forwardAndSpeak(int virtualKey, KeyModifiers modifiers) {
    forwardKey(virtualKey, modifiers);
    ports_.clock.sleepMs(kForwardSpeakPauseMs);
    if (!menuStack_.empty()) {
        const Menu& menu = menuStack_.front();
        if (menu.isValidIndex(menu.selection)) {
            ports_.speech.say(menu.items[static_cast<std::size_t>(menu.selection)].text, true);
        }
    }
}

KeyHandling MenuController::onArrowKey(int virtualKey, KeyModifiers modifiers) {
    const bool hasMenu = !menuStack_.empty();
    const bool isGrid = hasMenu && menuStack_.front().isGrid();
    const bool isCtrlAlone = modifiers.ctrl && !modifiers.shift;
    const bool isVertical = virtualKey == kVkUp || virtualKey == kVkDown;
    const bool isForward = virtualKey == kVkDown || virtualKey == kVkRight;
    if (virtualKey == kVkDown && modifiers.alt) {
        return KeyHandling::Swallowed;
    }
    if (!modifiers.shift && !modifiers.ctrl) {
        if (isVertical) {
            if (hasMenu) {
                // A list whose server gave no column count still moves one line at a time.
                const std::int32_t step = std::max(menuStack_.front().columns, 1);
                moveSelection(isForward ? step : -step, true, false);
            }
        } else if (isGrid) {
            moveSelection(isForward ? 1 : -1, true, false);
        } else if (hasMenu) {
            // Left and Right have no use in a list, so the game gets them; with no menu open
            // they do nothing, like Up and Down.
            forwardAndSpeak(virtualKey, modifiers);
        }
    } else if (isCtrlAlone && isGrid) {
        if (isVertical) {
            isForward ? selectLastOfColumn() : selectFirstOfColumn();
        } else {
            isForward ? selectLastOfRow() : selectFirstOfRow();
        }
    } else {
        forwardAndSpeak(virtualKey, modifiers);
    }
    return KeyHandling::Swallowed;
}

KeyHandling MenuController::onHomeOrEnd(bool isHome, KeyModifiers modifiers) {
    if (menuStack_.empty()) {
        return KeyHandling::Swallowed;
    }
    if (modifiers.ctrl || modifiers.shift || !menuStack_.front().isGrid()) {
        isHome ? selectFirstOfMenu() : selectLastOfMenu();
    } else {
        isHome ? selectFirstOfRow() : selectLastOfRow();
    }
    return KeyHandling::Swallowed;
}

KeyHandling MenuController::onKeyDown(int virtualKey, KeyModifiers modifiers) {
    const bool hasMenu = !menuStack_.empty();
    switch (virtualKey) {
    case kVkTab:
        return KeyHandling::Swallowed; // the key-up moves the focus
    case kVkReturn:
        if (hasMenu && hasNoModifier(modifiers)) {
            activateItem(menuStack_.front().selection);
        } else {
            forwardKey(kVkReturn, modifiers);
        }
        return KeyHandling::Swallowed;
    case kVkEscape:
        if (hasMenu) {
            activateItem(-1);
            return KeyHandling::Swallowed;
        }
        break;
    case kVkUp:
    case kVkDown:
    case kVkLeft:
    case kVkRight:
        return onArrowKey(virtualKey, modifiers);
    case kVkHome:
    case kVkEnd:
        return onHomeOrEnd(virtualKey == kVkHome, modifiers);
    case kVkPageUp:
    case kVkPageDown:
        if (reviewHistory_) {
            const std::int32_t step = modifiers.ctrl || modifiers.shift ? kReviewToEnd : 1;
            reviewHistory_(virtualKey == kVkPageUp ? -step : step);
        }
        return KeyHandling::Swallowed;
    default:
        if (isLetterDigitOrBlank(virtualKey) && hasMenu &&
            menuStack_.front().hasFlag(MENU_TYPE_AHEAD) && hasNoModifier(modifiers)) {
            return KeyHandling::DefaultProcessing; // the character message searches
        }
        break;
    }
    if (virtualKey >= 0 && virtualKey < static_cast<int>(gameKeys_.size()) &&
        gameKeys_[static_cast<std::size_t>(virtualKey)]) {
        forwardKey(virtualKey, modifiers);
    }
    return KeyHandling::DefaultProcessing;
}

void MenuController::onCharacter(char16_t character, KeyModifiers modifiers) {
    if (menuStack_.empty() || !menuStack_.front().hasFlag(MENU_TYPE_AHEAD) || character < 32) {
        return;
    }
    typeAhead(character, modifiers);
}

void MenuController::typeAhead(char16_t character, KeyModifiers modifiers) {
    const std::int64_t now = ports_.clock.nowMs();
    if (!hasTyped_ || now - lastTypedMs_ > kTypeAheadPauseMs) {
        typeAheadBuffer_.clear();
    }
    typeAheadBuffer_.push_back(character);
    lastTypedMs_ = now;
    hasTyped_ = true;

    const Menu& menu = menuStack_.front();
    const bool isAutoActivate = menu.hasFlag(MENU_AUTO_ACTIVATE);
    const std::int32_t after = menu.isValidIndex(menu.selection) ? menu.selection : -1;
    const std::int32_t line = ports_.view.findLineWithPrefix(after, typeAheadBuffer_);
    if (menu.isValidIndex(line)) {
        moveSelection(line, true, true);
        if (isAutoActivate) {
            activateItem(line);
        }
        return;
    }
    if (isAutoActivate && isTypedLetterDigitOrBlank(character)) {
        const char16_t upper = character >= u'a' && character <= u'z'
                                   ? static_cast<char16_t>(character - 32)
                                   : character;
        forwardKey(upper, modifiers);
        return;
    }
    ports_.view.beep();
}

void MenuController::onContextMenu(bool shift, bool ctrl) {
    forwardKey(kVkApps, {shift, ctrl, false});
}

void MenuController::onLeftButtonDown(std::int32_t line) {
    // A click on a separator is refused like a move onto it; it chooses nothing.
    if (line >= 0 && moveSelection(line, true, true)) {
        activateItem(line);
    }
}

void MenuController::onRightButtonDown(std::int32_t line) {
    if (line >= 0) {
        moveSelection(line, true, true);
    }
}

void MenuController::onMiddleButtonDown(std::int32_t line) {
    onRightButtonDown(line);
}

bool MenuController::onMouseMove(std::int32_t line) {
    const bool hasChanged = line != hoverIndex_;
    hoverIndex_ = line;
    return hasChanged;
}

} // namespace vendrel

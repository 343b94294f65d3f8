#include "menu/menu_controller.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <optional>

#include "net/outgoing_commands.h"
#include "ports/list_box_view.h"
#include "ports/sound_player.h"
#include "ports/speech_output.h"
#include "text/utf.h"

namespace vendrel {
namespace {

constexpr int kSoundChannelNone = -1;
constexpr int kSoundChannelMenu = 0;
const std::string kBoundsSound = "menubounds";

// A local menu's id is its command id negated; the lowest id has no positive twin.
std::int32_t localCommandId(std::int32_t menuId) {
    return menuId == INT32_MIN ? INT32_MAX : -menuId;
}

} // namespace

MenuController::MenuController(const MenuPorts& ports, const GameKeyTable& gameKeys)
    : ports_(ports), gameKeys_(gameKeys) {}

std::int32_t MenuController::currentMenuId() const {
    return menuStack_.empty() ? -1 : menuStack_.front().id;
}

bool MenuController::menuExists(std::int32_t id) const {
    return std::any_of(menuStack_.begin(), menuStack_.end(),
                       [id](const Menu& menu) { return menu.id == id; });
}

bool MenuController::isSelectable(std::int64_t index) const {
    if (menuStack_.empty() || !menuStack_.front().isValidIndex(index)) {
        return false;
    }
    return !menuStack_.front().items[static_cast<std::size_t>(index)].isSeparator();
}

void MenuController::applyMenuCommand(const std::string& utf8Text, int mode) {
    const std::u16string text = toWide(utf8Text);
    if (mode == kMenuItemUpdate) {
        applyItemUpdate(text);
    } else {
        applyMenuText(text, mode);
    }
}

void MenuController::applyItemUpdate(const std::u16string& text) {
    if (menuStack_.empty()) {
        return;
    }
    Menu& menu = menuStack_.front();
    const std::int32_t result = updateMenuItem(menu, text);
    menu.selection = clampSelection(menu.selection, menu.items.size());
    // A single line changes when it can, so a long menu does not flicker or lose its place.
    if (result > 0) {
        ports_.view.appendLine(menu.items.back().text);
    } else if (result < 0) {
        ports_.view.deleteLine(~result);
    } else {
        refillMenuList();
    }
    if (ports_.view.lineCount() != menu.itemCount()) {
        refillMenuList();
    }
    moveSelection(0, false, false);
}

void MenuController::applyMenuText(const std::u16string& text, int mode) {
    FieldReader header(text);
    const std::int32_t id = header.nextNumber();
    const auto found = std::find_if(menuStack_.begin(), menuStack_.end(),
                                    [id](const Menu& menu) { return menu.id == id; });
    if (found == menuStack_.end()) {
        Menu& menu = menuStack_.emplace_front();
        parseMenu(menu, text);
        menu.selection = std::max(menu.selection, 0);
        refreshAndAnnounce(false);
        return;
    }
    Menu& menu = *found;
    const std::int32_t oldSelection = menu.selection;
    const std::u16string oldKey = menu.isValidIndex(oldSelection)
                                      ? menu.items[static_cast<std::size_t>(oldSelection)].key
                                      : std::u16string();
    parseMenu(menu, text);
    if (menu.selection == -2) {
        // The server asks to keep the player on the same item even if its place changed.
        const auto same = std::find_if(menu.items.begin(), menu.items.end(),
                                       [&](const MenuItem& item) { return item.key == oldKey; });
        if (same != menu.items.end()) {
            menu.selection = static_cast<std::int32_t>(same - menu.items.begin());
        }
    }
    if (menu.selection < 0) {
        menu.selection = menu.isValidIndex(oldSelection) ? oldSelection : menu.itemCount() - 1;
    }
    if (mode == kMenuUpdate && found != menuStack_.begin()) {
        Menu moved = std::move(menu);
        menuStack_.erase(found);
        menuStack_.push_front(std::move(moved));
    }
    refreshAndAnnounce(false);
}

void MenuController::closeMenus(std::int32_t n) {
    if (n >= 1) {
        const auto found = std::find_if(menuStack_.begin(), menuStack_.end(),
                                        [n](const Menu& menu) { return menu.id == n; });
        if (found != menuStack_.end()) {
            menuStack_.erase(found);
        }
    } else if (n == 0) {
        menuStack_.clear();
    } else {
        // Counted in 64 bits: -INT32_MIN does not fit.
        for (std::int64_t left = -static_cast<std::int64_t>(n); left > 0 && !menuStack_.empty();
             --left) {
            menuStack_.pop_front();
        }
    }
    refreshAndAnnounce(true);
}

void MenuController::moveMenuSelectionCommand(const std::string& utf8Text) {
    if (!menuStack_.empty()) {
        const std::u16string text = toWide(utf8Text);
        FieldReader reader(text);
        const std::int32_t id = reader.nextNumber();
        const std::int32_t index = reader.nextNumber();
        if (id == menuStack_.front().id) {
            moveSelection(index, true, true);
        }
    }
    // The current item is announced again whether or not the id matched.
    moveSelection(0, true, false);
}

bool MenuController::openLocalMenu(std::int32_t commandId, std::int32_t selection) {
    return localMenus_->openLocalMenu(*this, commandId, selection);
}

void MenuController::pushLocalMenu(std::int32_t id, std::uint32_t flags, std::int32_t selection,
                                   const std::u16string& title, std::vector<MenuItem> items) {
    Menu& menu = menuStack_.emplace_front();
    menu.id = id;
    menu.flags = flags;
    menu.selection = selection;
    menu.items = std::move(items);
    if (!title.empty()) {
        ports_.speech.say(title, true);
    }
    refreshAndAnnounce(false);
}

void MenuController::refillMenuList() {
    std::vector<std::u16string> lines;
    if (!menuStack_.empty()) {
        const Menu& menu = menuStack_.front();
        lines.reserve(menu.items.size());
        std::transform(menu.items.begin(), menu.items.end(), std::back_inserter(lines),
                       [](const MenuItem& item) { return item.text; });
    }
    ports_.view.setLines(lines);
}

void MenuController::refillKeepingSelection() {
    refillMenuList();
    if (!menuStack_.empty() && menuStack_.front().isValidIndex(menuStack_.front().selection)) {
        ports_.view.setSelection(menuStack_.front().selection);
    }
}

void MenuController::popMenu() {
    if (!menuStack_.empty()) {
        menuStack_.pop_front();
    }
}

void MenuController::refreshAndAnnounce(bool interrupt) {
    refillMenuList();
    moveSelection(0, interrupt, false);
}

bool MenuController::moveSelection(std::int32_t delta, bool interrupt, bool absolute) {
    if (menuStack_.empty()) {
        return false;
    }
    Menu& menu = menuStack_.front();
    const std::int64_t target =
        absolute ? delta : static_cast<std::int64_t>(menu.selection) + delta;
    bool isRefused = !menu.isValidIndex(target);
    if (!isRefused && !absolute && menu.isGrid() && std::llabs(delta) < menu.columns) {
        // A step shorter than a row must stay in its row.
        isRefused = target / menu.columns != menu.selection / menu.columns;
    }
    if (!isRefused && menu.items[static_cast<std::size_t>(target)].isSeparator()) {
        isRefused = true;
    }
    if (isRefused) {
        ports_.sounds.playSound(kBoundsSound, kSoundChannelNone);
    } else {
        menu.selection = static_cast<std::int32_t>(target);
    }
    if (menu.isValidIndex(menu.selection)) {
        const MenuItem& item = menu.items[static_cast<std::size_t>(menu.selection)];
        if (!item.sound.empty()) {
            ports_.sounds.playSound(toNarrow(item.sound), kSoundChannelMenu);
        }
        ports_.view.setSelection(menu.selection);
        // The screen reader announces the list's own selection change; our own voice does
        // not, and a refused move changes nothing the screen reader would notice.
        if (ports_.speech.engineSpeaksMenus() || isRefused) {
            ports_.speech.say(item.text, interrupt);
        }
    }
    return !isRefused;
}

void MenuController::activateItem(std::int32_t index) {
    if (menuStack_.empty()) {
        return;
    }
    const Menu& menu = menuStack_.front();
    const std::uint32_t flags = menu.flags;
    if (menu.id >= 0) {
        if (menu.isValidIndex(index)) {
            ports_.outgoing.sendMenuSelection(menu.id, index,
                                              menu.items[static_cast<std::size_t>(index)].key);
        } else {
            ports_.outgoing.sendMenuSelection(menu.id, -1, std::nullopt);
        }
    } else {
        localMenus_->localMenuChoice(*this, localCommandId(menu.id), index);
    }
    if ((flags & MENU_KEEP_OPEN) == 0) {
        closeMenus(-1);
    }
}

void MenuController::forwardKey(int virtualKey, KeyModifiers modifiers) {
    const auto [shift, ctrl, alt] = modifiers;
    if (!menuStack_.empty() && menuStack_.front().hasFlag(MENU_KEYS_TO_MENU) &&
        !menuStack_.front().items.empty()) {
        Menu& menu = menuStack_.front();
        menu.selection = clampSelection(menu.selection, menu.items.size());
        if (menu.id >= 0) {
            ports_.outgoing.sendMenuKey(virtualKey, shift, ctrl, alt, menu.id, menu.selection,
                                        menu.items[static_cast<std::size_t>(menu.selection)].key);
        } else {
            localMenus_->localMenuKey(*this, localCommandId(menu.id), virtualKey, shift, ctrl, alt);
        }
        return;
    }
    ports_.outgoing.sendKey(virtualKey, shift, ctrl, alt);
}

void MenuController::selectAlong(std::int64_t first, std::int64_t step, std::int64_t count) {
    // Nothing selectable: the move goes to the last index tried and is refused audibly.
    std::int64_t chosen = count > 0 ? first + (count - 1) * step : -1;
    for (std::int64_t n = 0; n < count; ++n) {
        if (isSelectable(first + n * step)) {
            chosen = first + n * step;
            break;
        }
    }
    const std::int64_t clamped = std::clamp<std::int64_t>(chosen, INT32_MIN, INT32_MAX);
    moveSelection(static_cast<std::int32_t>(clamped), true, true);
}

} // namespace vendrel

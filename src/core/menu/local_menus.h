#pragma once
// The client's own option menus carry negative ids; the menu controller hands everything that
// concerns them to this handler. Until the option menus exist the default does nothing.

#include <cstdint>

namespace vendrel {

class MenuController;

class LocalMenus {
public:
    virtual ~LocalMenus() = default;

    // GUI thread, all of them. The controller is passed so a handler can push, rebuild and
    // close menus through it.

    // Builds local menu `commandId` (1012 and up) and pushes it; false when no menu has that id.
    virtual bool openLocalMenu(MenuController& /*menus*/, std::int32_t /*commandId*/,
                               std::int32_t /*selection*/) {
        return false;
    }
    // An item of the front menu (a local one) was chosen; index -1 is the cancel of Escape.
    // The front menu is the one chosen from when this is called.
    virtual void localMenuChoice(MenuController& /*menus*/, std::int32_t /*commandId*/,
                                 std::int32_t /*index*/) {}
    // A key forwarded from the list while the front menu is local, keys-to-menu, not empty.
    virtual void localMenuKey(MenuController& /*menus*/, std::int32_t /*commandId*/,
                              int /*virtualKey*/, bool /*shift*/, bool /*ctrl*/, bool /*alt*/) {}
};

} // namespace vendrel

#pragma once
// What the option menus change on the main window's controls.

#include <cstdint>
#include <string>

namespace vendrel {

class WindowControls {
public:
    virtual ~WindowControls() = default;

    // GUI thread, all of them.
    // Every control, the history's whole text and a new menu list take the font; false, and
    // nothing changed, when the font cannot be made.
    [[nodiscard]] virtual bool applyFont(const std::u16string& face, std::int32_t points) = 0;
    // -1: the system's window colour.
    virtual void setHistoryBackground(std::int32_t colour) = 0;
    virtual void setAutomaticLinks(bool isOn) = 0;
    // After the menu colours were switched on or off: the list is drawn by us or by the system.
    virtual void recreateMenuList() = 0;
    // After a colour of the list changed.
    virtual void redrawMenuList() = 0;
    virtual void focusMenuList() = 0;
};

} // namespace vendrel

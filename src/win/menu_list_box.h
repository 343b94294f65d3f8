#pragma once
// The menu list box: a standard LISTBOX, owner-drawn unless the player turned menu colours
// off, subclassed so every key, character and click goes to the menu controller. It keeps no
// menu state of its own; the controller decides and this window shows.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "app/app_state.h"
#include "ports/list_box_view.h"

namespace vendrel {
class MenuController;
}

namespace vendrel::win {

class MenuListBox final : public ListBoxView {
public:
    // Entry n of the custom colours, or nothing when n names no entry.
    using ColourLookup = std::function<std::optional<COLORREF>(std::int32_t index)>;

    explicit MenuListBox(AppState& state);
    ~MenuListBox() override;
    MenuListBox(const MenuListBox&) = delete;
    MenuListBox& operator=(const MenuListBox&) = delete;

    // Before create: the controller that gets the list's keys and clicks.
    void setController(MenuController& controller) { controller_ = &controller; }
    // The Tab ring: Tab goes to the chat line, Shift+Tab to the history pane.
    void setTabRing(HWND chatLine, HWND historyPane);
    // Called when the list gets the focus, so the main window can give it back later.
    void setFocusListener(std::function<void(HWND)> listener) { onFocus_ = std::move(listener); }
    void setColourLookup(ColourLookup lookup) { colourLookup_ = std::move(lookup); }

    // GUI thread, all of these. Creates the list box in `parent` with the interface font.
    bool create(HWND parent, HINSTANCE instance, HFONT font);
    // After a change of font, colours or "style.disableMenuColors": a new list box with the
    // same lines, selection and focus.
    void recreate(HFONT font);
    [[nodiscard]] HWND hwnd() const { return hwnd_; }

    // The main window's WM_MEASUREITEM, WM_DRAWITEM (true when drawn) and
    // WM_CTLCOLORLISTBOX (the brush to return) for this list.
    void measureItem(MEASUREITEMSTRUCT& item) const;
    bool drawItem(const DRAWITEMSTRUCT& item);
    LRESULT colours(HDC dc);

    // ListBoxView
    void setLines(const std::vector<std::u16string>& lines) override;
    void appendLine(const std::u16string& text) override;
    void deleteLine(std::int32_t index) override;
    std::int32_t lineCount() override;
    void setSelection(std::int32_t index) override;
    std::int32_t findLineWithPrefix(std::int32_t after, const std::u16string& prefix) override;
    void beep() override;

private:
    static LRESULT CALLBACK menuListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool handleMouse(HWND hwnd, UINT message, LPARAM lParam);
    [[nodiscard]] std::int32_t lineAt(LPARAM point) const;
    [[nodiscard]] COLORREF defaultTextColour() const;

    AppState& state_;
    MenuController* controller_ = nullptr;
    HWND parent_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND chatLine_ = nullptr;
    HWND historyPane_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH brush_ = nullptr;
    std::int32_t brushColour_ = -1;
    bool isShiftDown_ = false; // as read at the last key-down, for the Tab key-up
    std::function<void(HWND)> onFocus_;
    ColourLookup colourLookup_;
};

} // namespace vendrel::win

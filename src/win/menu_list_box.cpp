#include "menu_list_box.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string>

#include "menu/menu.h"
#include "menu/menu_controller.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                             LBS_USETABSTOPS | LBS_HASSTRINGS | LBS_NOTIFY;
constexpr int kHorizontalExtent = 2000;
constexpr LPARAM kRefillTextBytes = 0xFFFFF;
constexpr UINT kKeyboardMenu = 0xF100; // SC_KEYMENU
constexpr COLORREF kCheckedColour = RGB(0, 153, 51);
constexpr COLORREF kUncheckedColour = RGB(128, 128, 128);
constexpr std::u16string_view kCheckedSound = u"menuchecked";
constexpr std::u16string_view kUncheckedSound = u"menuunchecked";

bool isKeyDown(int virtualKey) {
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

KeyModifiers readModifiers() {
    return {isKeyDown(VK_SHIFT), isKeyDown(VK_CONTROL), isKeyDown(VK_MENU)};
}

// "#n" picks entry n of the custom colours; sign and base prefix are allowed as everywhere.
std::optional<std::int32_t> colourIndex(const std::u16string& colour) {
    if (colour.size() < 2 || colour[0] != u'#') {
        return std::nullopt;
    }
    return fieldNumber(std::u16string_view(colour).substr(1));
}

// Fills with the device context's background colour, one pixel wider on the right so no
// seam of the old drawing stays at the edge.
void fillBackground(HDC dc, const RECT& rect) {
    const COLORREF background = GetBkColor(dc);
    HBRUSH brush = CreateSolidBrush(background);
    HPEN pen = CreatePen(PS_SOLID, 1, background);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Rectangle(dc, rect.left, rect.top, rect.right + 1, rect.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void drawCheckMark(HDC dc, const RECT& rect, int height, bool isChecked) {
    const COLORREF colour = isChecked ? kCheckedColour : kUncheckedColour;
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const POINT corners[3] = {{rect.left, rect.top + 2},
                              {rect.left, rect.bottom - 2},
                              {rect.left + height - 4, (rect.top + rect.bottom) / 2}};
    Polygon(dc, corners, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

} // namespace

MenuListBox::MenuListBox(AppState& state) : state_(state) {}

MenuListBox::~MenuListBox() {
    if (brush_) {
        DeleteObject(brush_);
    }
}

void MenuListBox::setTabRing(HWND chatLine, HWND historyPane) {
    chatLine_ = chatLine;
    historyPane_ = historyPane;
}

bool MenuListBox::create(HWND parent, HINSTANCE instance, HFONT font) {
    parent_ = parent;
    instance_ = instance;
    // Set first: an owner-drawn list asks for its item height while it is being created.
    font_ = font;
    DWORD style = kListStyle;
    if (!state_.settings.disableMenuColors) {
        style |= LBS_OWNERDRAWFIXED;
    }
    hwnd_ = CreateWindowExW(0, L"LISTBOX", L"", style, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(0), instance, nullptr);
    if (!hwnd_) {
        return false;
    }
    SetWindowSubclass(hwnd_, menuListProc, 0, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(hwnd_, LB_SETHORIZONTALEXTENT, kHorizontalExtent, 0);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return true;
}

void MenuListBox::recreate(HFONT font) {
    const bool hadFocus = hwnd_ && GetFocus() == hwnd_;
    const auto selection =
        hwnd_ ? static_cast<std::int32_t>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0)) : -1;
    if (hwnd_) {
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    if (!create(parent_, instance_, font)) {
        return;
    }
    if (controller_) {
        controller_->refillMenuList();
    }
    setSelection(selection);
    // A size message with no size makes the main window lay its children out again.
    SendMessageW(parent_, WM_SIZE, 0, 0);
    if (hadFocus) {
        SetFocus(hwnd_);
    }
}

void MenuListBox::measureItem(MEASUREITEMSTRUCT& item) const {
    HDC dc = GetDC(parent_);
    HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(parent_, dc);
    const LONG leading = metrics.tmExternalLeading > 0 ? metrics.tmExternalLeading : 0;
    item.itemHeight = static_cast<UINT>((metrics.tmHeight + leading + 1) * 11 / 10);
}

COLORREF MenuListBox::defaultTextColour() const {
    const int colour = state_.settings.lbFgColor;
    return colour == -1 ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(colour);
}

bool MenuListBox::drawItem(const DRAWITEMSTRUCT& item) {
    const Menu* menu = controller_ ? controller_->currentMenu() : nullptr;
    if (!menu || (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) == 0) {
        return false;
    }
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    fillBackground(dc, rect);
    const auto index = static_cast<std::int32_t>(item.itemID);
    if (!menu->isValidIndex(index)) {
        return true;
    }
    const MenuItem& entry = menu->items[static_cast<std::size_t>(index)];
    if (entry.isSeparator()) {
        return true;
    }
    RECT textRect = rect;
    if (menu->hasFlag(MENU_CHECK_MARKS)) {
        const int height = static_cast<int>(rect.bottom - rect.top);
        if (entry.sound == kCheckedSound || entry.sound == kUncheckedSound) {
            drawCheckMark(dc, rect, height, entry.sound == kCheckedSound);
        }
        textRect.left += height - 4;
    }
    if (const std::optional<std::int32_t> colour = colourIndex(entry.colour)) {
        // A number that names no entry leaves the colour the list box set.
        if (const std::optional<COLORREF> custom =
                colourLookup_ ? colourLookup_(*colour) : std::nullopt) {
            SetTextColor(dc, *custom);
        }
    } else {
        SetTextColor(dc, defaultTextColour());
    }
    SetBkMode(dc, TRANSPARENT);
    const std::wstring text = toWin(entry.text);
    // No prefix processing: an ampersand in a player's name is shown as it is.
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOPREFIX);
    if ((item.itemState & ODS_SELECTED) != 0) {
        DrawFocusRect(dc, &rect);
    }
    if (index == controller_->hoverIndex()) {
        InvertRect(dc, &rect);
    }
    return true;
}

LRESULT MenuListBox::colours(HDC dc) {
    const int background = state_.settings.lbBgColor;
    SetTextColor(dc, defaultTextColour());
    const COLORREF wanted =
        background == -1 ? GetSysColor(COLOR_WINDOW) : static_cast<COLORREF>(background);
    SetBkColor(dc, wanted);
    if (!brush_ || brushColour_ != background) {
        if (brush_) {
            DeleteObject(brush_);
        }
        // The system colour brush is shared and never deleted; a copy keeps ownership simple.
        brush_ = CreateSolidBrush(wanted);
        brushColour_ = background;
    }
    return reinterpret_cast<LRESULT>(brush_);
}

void MenuListBox::setLines(const std::vector<std::u16string>& lines) {
    if (!hwnd_) {
        return;
    }
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    SendMessageW(hwnd_, LB_INITSTORAGE, lines.size(), kRefillTextBytes);
    WPARAM index = 0;
    for (const std::u16string& line : lines) {
        const std::wstring text = toWin(line);
        SendMessageW(hwnd_, LB_INSERTSTRING, index++, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void MenuListBox::appendLine(const std::u16string& text) {
    const std::wstring line = toWin(text);
    SendMessageW(hwnd_, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(line.c_str()));
}

void MenuListBox::deleteLine(std::int32_t index) {
    SendMessageW(hwnd_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

std::int32_t MenuListBox::lineCount() {
    const LRESULT count = SendMessageW(hwnd_, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<std::int32_t>(count);
}

void MenuListBox::setSelection(std::int32_t index) {
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::int32_t MenuListBox::findLineWithPrefix(std::int32_t after, const std::u16string& prefix) {
    const std::wstring text = toWin(prefix);
    const LRESULT line = SendMessageW(hwnd_, LB_FINDSTRING, static_cast<WPARAM>(after),
                                      reinterpret_cast<LPARAM>(text.c_str()));
    return line == LB_ERR ? -1 : static_cast<std::int32_t>(line);
}

void MenuListBox::beep() {
    MessageBeep(0);
}

std::int32_t MenuListBox::lineAt(LPARAM point) const {
    const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, point);
    // The high word is set when the point lies outside every line (below the last one).
    if (HIWORD(hit) != 0) {
        return -1;
    }
    const auto line = static_cast<std::int32_t>(LOWORD(hit));
    const LRESULT count = SendMessageW(hwnd_, LB_GETCOUNT, 0, 0);
    return count != LB_ERR && line < count ? line : -1;
}

LRESULT CALLBACK MenuListBox::menuListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MenuListBox*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, menuListProc, 0);
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (!self->controller_) {
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return self->handle(hwnd, message, wParam, lParam);
}

bool MenuListBox::handleMouse(HWND hwnd, UINT message, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        controller_->onLeftButtonDown(lineAt(lParam));
        return true;
    case WM_RBUTTONDOWN:
        SetFocus(hwnd);
        controller_->onRightButtonDown(lineAt(lParam));
        return false;
    case WM_MBUTTONDOWN:
        SetFocus(hwnd);
        controller_->onMiddleButtonDown(lineAt(lParam));
        return true;
    case WM_MOUSEMOVE:
        if (controller_->onMouseMove(lineAt(lParam))) {
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return false;
    default:
        return false;
    }
}

LRESULT MenuListBox::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const KeyModifiers modifiers = readModifiers();
        isShiftDown_ = modifiers.shift;
        if (controller_->onKeyDown(static_cast<int>(wParam), modifiers) == KeyHandling::Swallowed) {
            return 0;
        }
        break;
    }
    case WM_KEYUP:
        if (wParam == VK_TAB) {
            HWND next = isShiftDown_ ? historyPane_ : chatLine_;
            if (next) {
                SetFocus(next);
            }
            return 0;
        }
        break;
    case WM_CHAR:
        controller_->onCharacter(static_cast<char16_t>(wParam), readModifiers());
        return 0;
    case WM_CONTEXTMENU:
        // Shift+F10 arrives here as well; only the Applications key itself carries Shift.
        controller_->onContextMenu(isKeyDown(VK_SHIFT) && !isKeyDown(VK_F10),
                                   isKeyDown(VK_CONTROL));
        break;
    case WM_SYSCOMMAND:
        // Alt or F10 in the list would park the focus in the window menu.
        if ((wParam & 0xFFF0) == kKeyboardMenu) {
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (onFocus_) {
            onFocus_(hwnd);
        }
        break;
    default:
        if (handleMouse(hwnd, message, lParam)) {
            return 0;
        }
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace vendrel::win

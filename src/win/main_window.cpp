#include "main_window.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "about_box.h"
#include "app/main_layout.h"
#include "config/config_file.h"
#include "menu_list_box.h"
#include "resource.h"
#include "rich_edit_pane.h"
#include "speech/speech.h"
#include "system_dialogs.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

constexpr DWORD kMainStyle = 0x10CF0000;      // overlapped window, visible
constexpr DWORD kHistoryStyle = 0x5021B84C;   // read-only multi-line rich edit, keeps selection
constexpr DWORD kLabelStyle = 0x50000000;     // child, visible
constexpr DWORD kChatLabelStyle = 0x50000100; // with notify: a click moves to the chat line
constexpr DWORD kChatLineStyle = 0x50010080;  // tab stop, auto horizontal scroll
constexpr int kChatLineLimit = 3999;
constexpr UINT kKeyboardMenu = 0xF100; // SC_KEYMENU
constexpr int kAboutMenuPosition = 5;

HWND createChild(HWND parent, HINSTANCE instance, const wchar_t* className,
                 const std::u16string& text, DWORD style) {
    return CreateWindowExW(0, className, toWin(text).c_str(), style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(0), instance, nullptr);
}

void place(HWND control, const ControlRect& rect) {
    if (control) {
        MoveWindow(control, rect.x, rect.y, rect.width, rect.height, TRUE);
    }
}

} // namespace

MainWindowShell::MainWindowShell(AppState& state, HINSTANCE instance)
    : state_(state), instance_(instance), guiThreadId_(GetCurrentThreadId()) {}

MainWindowShell::~MainWindowShell() {
    if (mainFont_) {
        DeleteObject(mainFont_);
    }
}

bool MainWindowShell::registerClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

void MainWindowShell::create() {
    CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, toWin(mainWindowTitle(state_)).c_str(),
                    kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                    nullptr, instance_, this);
    if (!hwnd_) {
        return;
    }
    createChildren();
    createMenuList();
    (void)applyFont(state_.settings.fontName, state_.settings.fontSize);
    layout();
}

void MainWindowShell::createChildren() {
    historyLabel_ =
        CreateWindowExW(0, L"STATIC", toWin(state_.tr("history")).c_str(), kLabelStyle, -200, -200,
                        200, 100, hwnd_, reinterpret_cast<HMENU>(0), instance_, nullptr);
    historyPane_ = createChild(hwnd_, instance_, L"RichEdit20W", u"", kHistoryStyle);
    chatLabel_ = createChild(hwnd_, instance_, L"STATIC", state_.tr("chat"), kChatLabelStyle);
    chatLine_ = createChild(hwnd_, instance_, L"EDIT", u"", kChatLineStyle);
    menuLabel_ = createChild(hwnd_, instance_, L"STATIC", state_.tr("menulbl"), kLabelStyle);

    InsertMenuW(GetSystemMenu(hwnd_, FALSE), kAboutMenuPosition, MF_BYPOSITION | MF_STRING,
                IDM_ABOUT, toWin(state_.tr("about")).c_str());

    if (historyPane_) {
        RichEditPane::setUp(historyPane_, state_.settings.allowAutoLinks,
                            state_.settings.rtfBgColor);
        SetWindowSubclass(historyPane_, historyProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    if (chatLine_) {
        SendMessageW(chatLine_, EM_SETLIMITTEXT, kChatLineLimit, 0);
        SetWindowSubclass(chatLine_, chatProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

void MainWindowShell::createMenuList() {
    if (!menuListBox_) {
        return;
    }
    menuListBox_->setTabRing(chatLine_, historyPane_);
    menuListBox_->setFocusListener([this](HWND list) { lastFocused_ = list; });
    menuListBox_->create(hwnd_, instance_,
                         reinterpret_cast<HFONT>(SendMessageW(chatLine_, WM_GETFONT, 0, 0)));
    menuList_ = menuListBox_->hwnd();
}

bool MainWindowShell::applyFont(const std::u16string& face, std::int32_t points) {
    const LOGFONTW logFont = makeLogFont(hwnd_, face, points);
    HFONT font = CreateFontIndirectW(&logFont);
    if (!font) {
        return false;
    }
    if (mainFont_) {
        DeleteObject(mainFont_);
    }
    mainFont_ = font;
    state_.settings.fontName = face;
    state_.settings.fontSize = points;
    for (HWND control : {hwnd_, historyPane_, chatLine_, historyLabel_, chatLabel_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    // The list box measures its owner-drawn items from the font, so it is made anew.
    if (menuListBox_ && menuList_) {
        menuListBox_->recreate(font);
        menuList_ = menuListBox_->hwnd();
        layout();
    }
    // The text already in the pane takes the font too, not only what comes next.
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_SIZE | CFM_FACE;
    format.yHeight = points * 20;
    std::copy(std::begin(logFont.lfFaceName), std::end(logFont.lfFaceName), format.szFaceName);
    SendMessageW(historyPane_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    return true;
}

void MainWindowShell::show(int showCommand) {
    // The show command the program was started with: a shortcut set to start the program
    // maximised or minimised is obeyed (the system and Wine both pass it in wWinMain's).
    ShowWindow(hwnd_, showCommand);
}

void MainWindowShell::focusMenuList() {
    SetFocus(menuList_);
    lastFocused_ = menuList_;
}

void MainWindowShell::setHistoryBackground(std::int32_t colour) {
    RichEditPane::setBackground(historyPane_, colour);
}

void MainWindowShell::setAutomaticLinks(bool isOn) {
    SendMessageW(historyPane_, EM_AUTOURLDETECT, isOn ? TRUE : FALSE, 0);
}

void MainWindowShell::recreateMenuList() {
    if (menuListBox_ && menuList_) {
        const bool hadFocus = GetFocus() == menuList_;
        menuListBox_->recreate(mainFont_);
        menuList_ = menuListBox_->hwnd();
        layout();
        if (hadFocus) {
            focusMenuList();
        }
    }
}

void MainWindowShell::redrawMenuList() {
    InvalidateRect(menuList_, nullptr, TRUE);
}

void MainWindowShell::setTitle(const std::u16string& title) {
    run([&] { SetWindowTextW(hwnd_, toWin(title).c_str()); });
}

bool MainWindowShell::run(const std::function<void()>& work) {
    if (GetCurrentThreadId() == guiThreadId_) {
        work();
        return true;
    }
    // Sent, never posted: the function lives in the caller's frame until the send returns.
    DWORD_PTR result = 0;
    return hwnd_ &&
           SendMessageTimeoutW(hwnd_, WM_VENDREL_GUI_CALL, 0, reinterpret_cast<LPARAM>(&work),
                               SMTO_BLOCK, INFINITE, &result) != 0;
}

void MainWindowShell::layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const MainLayout rects = computeMainLayout(client.right, client.bottom);
    place(historyPane_, rects.historyPane);
    place(menuLabel_, rects.menuLabel);
    place(menuList_, rects.menuList);
    place(chatLabel_, rects.chatLabel);
    place(chatLine_, rects.chatLine);
}

LRESULT CALLBACK MainWindowShell::windowProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindowShell*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindowShell*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT MainWindowShell::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        if (actions_.sendQuit) {
            actions_.sendQuit();
        }
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        layout();
        return 0;
    case WM_DPICHANGED:
        onDpiChanged(*reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ACTIVATE:
        isActive_ = LOWORD(wParam) != WA_INACTIVE;
        break;
    case WM_SETFOCUS:
        if (lastFocused_) {
            SetFocus(lastFocused_);
        }
        return 0;
    case WM_CLOSE:
        if (state_.settings.confirmOnExit && !confirmClose()) {
            return 0;
        }
        break;
    case WM_MEASUREITEM:
        if (menuListBox_) {
            menuListBox_->measureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        }
        return TRUE;
    case WM_DRAWITEM:
        return menuListBox_ &&
               menuListBox_->drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_CTLCOLORLISTBOX:
        if (menuListBox_) {
            return menuListBox_->colours(reinterpret_cast<HDC>(wParam));
        }
        break;
    case WM_SYSCOMMAND: {
        bool handled = false;
        onSysCommand(wParam, lParam, handled);
        if (handled) {
            return 0;
        }
        break;
    }
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == historyPane_ && header->code == EN_LINK) {
            onLinkClicked(*reinterpret_cast<const ENLINK*>(lParam));
            return 0;
        }
        break;
    }
    case WM_VENDREL_GUI_CALL:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool MainWindowShell::confirmClose() {
    wchar_t title[512] = {};
    GetWindowTextW(hwnd_, title, 512);
    return MessageBoxW(hwnd_, toWin(state_.tr("confirmquit")).c_str(), title,
                       MB_YESNO | MB_ICONWARNING) == IDYES;
}

void MainWindowShell::onSysCommand(WPARAM wParam, LPARAM lParam, bool& handled) {
    // Alt alone or F10 would park the focus in the system menu, where a blind player is lost;
    // only Alt+Space opens it.
    if ((wParam & 0xFFF0) == kKeyboardMenu && lParam != ' ') {
        handled = true;
    } else if (wParam == IDM_ABOUT) {
        showAbout(hwnd_, state_);
        handled = true;
    }
}

void MainWindowShell::onCommand(WORD id, WORD code) {
    switch (id) {
    case IDM_ABOUT:
        showAbout(hwnd_, state_);
        break;
    case IDM_FOCUS_CHAT:
        SetFocus(chatLine_);
        SendMessageW(chatLine_, EM_SETSEL, 0, -1);
        break;
    case IDM_FOCUS_HISTORY:
        SetFocus(historyPane_);
        break;
    case IDM_FOCUS_MENU:
        focusMenuList();
        break;
    case IDM_OPTIONS_MENU:
        // F10 belongs to the game while logged in; otherwise it opens our own options.
        if (!(actions_.sendF10 && actions_.sendF10()) && actions_.openLocalMenu) {
            actions_.openLocalMenu(IDM_OPTIONS_MENU);
        }
        break;
    case IDM_SOUND_CARD_MENU:
    case IDM_AUDIO_OPTIONS_MENU:
        if (actions_.openLocalMenu) {
            actions_.openLocalMenu(id == IDM_SOUND_CARD_MENU ? 1020 : 1014);
        }
        focusMenuList();
        break;
    case IDM_NEXT_VOICE:
        if (speech_) {
            speech_->nextVoice();
        }
        break;
    case IDM_SPEECH_RATE_UP:
    case IDM_SPEECH_RATE_DOWN:
        if (speech_) {
            speech_->changeRate(id == IDM_SPEECH_RATE_UP ? 1 : -1);
        }
        break;
    case IDM_ASK_RESTORE_DEFAULTS:
        if (MessageBoxW(hwnd_, toWin(state_.tr("restoredefaults1")).c_str(),
                        toWin(state_.tr("restoredefaults")).c_str(),
                        MB_YESNO | MB_ICONWARNING) == IDYES) {
            restoreDefaults();
        }
        break;
    case IDM_RESTORE_DEFAULTS:
        restoreDefaults();
        break;
    case IDM_QUIT:
        if (actions_.sendQuit) {
            actions_.sendQuit();
        }
        PostQuitMessage(0);
        break;
    default:
        if (actions_.command) {
            actions_.command(id);
        }
        break;
    }
    // Commands from menus, the chat label or the server carry code 0 and end in the chat line.
    if (code == 0) {
        SetFocus(chatLine_);
    }
}

void MainWindowShell::restoreDefaults() {
    HWND focused = GetFocus();
    if (actions_.restoreDefaults) {
        actions_.restoreDefaults();
    }
    if (focused && IsWindow(focused)) {
        SetFocus(focused);
    }
}

void MainWindowShell::reapplyDefaults() {
    (void)applyFont(state_.settings.fontName, state_.settings.fontSize);
    setHistoryBackground(state_.settings.rtfBgColor);
    setAutomaticLinks(state_.settings.allowAutoLinks);
}

void MainWindowShell::onDpiChanged(const RECT& suggested) {
    // The manifest declares the program aware of each monitor's scale, so the system no longer
    // stretches the window when it moves to a monitor of another scale: it suggests a size and
    // leaves it to us to take it.
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindowShell::onLinkClicked(const ENLINK& link) {
    if (link.msg != WM_LBUTTONDOWN || !actions_.openLink) {
        return;
    }
    const LONG length = link.chrg.cpMax - link.chrg.cpMin;
    if (length <= 0) {
        return;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    TEXTRANGEW range{link.chrg, text.data()};
    const auto copied = static_cast<std::size_t>(
        SendMessageW(historyPane_, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)));
    text.resize(copied < text.size() ? copied : 0);
    actions_.openLink(fromWin(text));
}

namespace {

Modifiers currentModifiers() {
    // The physical state: a screen reader may have eaten the key-down of a modifier.
    return {GetAsyncKeyState(VK_SHIFT) < 0, GetAsyncKeyState(VK_CONTROL) < 0,
            GetAsyncKeyState(VK_MENU) < 0};
}

std::optional<KeyPhase> phaseOf(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return KeyPhase::Down;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return KeyPhase::Up;
    case WM_CHAR:
    case WM_SYSCHAR:
        return KeyPhase::Character;
    default:
        return std::nullopt;
    }
}

bool isKeyboardMenu(UINT message, WPARAM wParam) {
    return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU;
}

} // namespace

bool MainWindowShell::perform(KeyAction action, int virtualKey, Modifiers modifiers) {
    const auto call = [](const auto& function, auto... args) {
        if (function) {
            function(args...);
        }
    };
    switch (action) {
    case KeyAction::Default:
        return false;
    case KeyAction::Swallow:
        break;
    case KeyAction::ReviewPrevious:
        call(actions_.reviewHistory, -1);
        break;
    case KeyAction::ReviewNext:
        call(actions_.reviewHistory, 1);
        break;
    case KeyAction::ReviewFirst:
        call(actions_.reviewHistory, -1000000000);
        break;
    case KeyAction::ReviewLast:
        call(actions_.reviewHistory, 1000000000);
        break;
    case KeyAction::RecallPrevious:
        call(actions_.recallChatLine, -1);
        break;
    case KeyAction::RecallNext:
        call(actions_.recallChatLine, 1);
        break;
    case KeyAction::SendChatLine:
        call(actions_.sendChatLine);
        break;
    case KeyAction::ClearChatLine:
        SetWindowTextW(chatLine_, L"");
        break;
    case KeyAction::GameKey:
        call(actions_.gameKey, virtualKey, modifiers);
        break;
    case KeyAction::FocusMenuList:
        focusMenuList();
        break;
    case KeyAction::FocusHistory:
        SetFocus(historyPane_);
        break;
    case KeyAction::FocusChatLine:
        SetFocus(chatLine_);
        break;
    case KeyAction::OpenLinkAtCaret: {
        // A click just after the caret opens a link under it, as the rich edit reports it.
        DWORD start = 0;
        SendMessageW(historyPane_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        POINTL point{};
        SendMessageW(historyPane_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), start + 1);
        const LPARAM where = MAKELPARAM(point.x, point.y);
        SendMessageW(historyPane_, WM_LBUTTONDOWN, MK_LBUTTON, where);
        SendMessageW(historyPane_, WM_LBUTTONUP, 0, where);
        break;
    }
    }
    return true;
}

void MainWindowShell::showHistoryMenu(LPARAM position) {
    if (!historyMenu_) {
        historyMenu_ = CreatePopupMenu();
        const std::pair<UINT, const char*> items[] = {{IDM_SAVE_HISTORY, "saveHistory"},
                                                      {IDM_SAVE_VIEW, "saveView"},
                                                      {IDM_COPY_VIEW, "copyView"},
                                                      {IDM_CLEAR_HISTORY, "clearHistory"}};
        for (const auto& [id, key] : items) {
            AppendMenuW(historyMenu_, MF_STRING, id, toWin(state_.tr(key)).c_str());
        }
    }
    TrackPopupMenu(historyMenu_, TPM_LEFTALIGN | TPM_TOPALIGN, GET_X_LPARAM(position),
                   GET_Y_LPARAM(position), 0, hwnd_, nullptr);
}

LRESULT CALLBACK MainWindowShell::historyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindowShell*>(data);
    if (message == WM_SETFOCUS) {
        self->lastFocused_ = hwnd;
    } else if (message == WM_CONTEXTMENU) {
        self->showHistoryMenu(lParam);
        return 0;
    } else if (isKeyboardMenu(message, wParam)) {
        return 0;
    } else if (const auto phase = phaseOf(message)) {
        const Modifiers modifiers = currentModifiers();
        const int code = static_cast<int>(wParam);
        if (self->perform(historyPaneKey(*phase, code, modifiers), code, modifiers)) {
            return 0;
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWindowShell::chatProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindowShell*>(data);
    if (message == WM_SETFOCUS) {
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
        self->lastFocused_ = hwnd;
    } else if (isKeyboardMenu(message, wParam)) {
        return 0;
    } else if (const auto phase = phaseOf(message)) {
        const Modifiers modifiers = currentModifiers();
        const int code = static_cast<int>(wParam);
        if (self->perform(chatLineKey(*phase, code, modifiers), code, modifiers)) {
            return 0;
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace vendrel::win

#include "connection_dialog.h"

#include <commctrl.h>

#include <optional>
#include <string>

#include "about_box.h"
#include "ports/main_window.h"
#include "resource.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

int controlId(ConnectionControl control) {
    switch (control) {
    case ConnectionControl::ServerLabel:
        return IDC_CONN_SERVER_LABEL;
    case ConnectionControl::ServerSelector:
        return IDC_CONN_SERVER;
    case ConnectionControl::LoginLabel:
        return IDC_CONN_LOGIN_LABEL;
    case ConnectionControl::Login:
        return IDC_CONN_LOGIN;
    case ConnectionControl::PasswordLabel:
        return IDC_CONN_PASSWORD_LABEL;
    case ConnectionControl::Password:
        return IDC_CONN_PASSWORD;
    case ConnectionControl::RememberPassword:
        return IDC_CONN_REMEMBER;
    case ConnectionControl::Connect:
        return IDC_CONN_CONNECT;
    case ConnectionControl::LostPassword:
        return IDC_CONN_LOST_PASSWORD;
    case ConnectionControl::CreateAccount:
        return IDC_CONN_CREATE_ACCOUNT;
    case ConnectionControl::RestoreDefaults:
        return IDC_CONN_RESTORE_DEFAULTS;
    case ConnectionControl::About:
        return IDC_CONN_ABOUT;
    case ConnectionControl::Encrypted:
        return IDC_CONN_TLS;
    }
    return 0;
}

// The dialog runs on the GUI thread before the message loop, so the title is set directly.
class WindowTitle final : public MainWindow {
public:
    explicit WindowTitle(HWND window) : window_(window) {}
    void setTitle(const std::u16string& title) override {
        SetWindowTextW(window_, toWin(title).c_str());
    }

private:
    HWND window_;
};

class WinConnectionDialogView final : public ConnectionDialogView {
public:
    WinConnectionDialogView(HWND dialog, AppState& state) : dialog_(dialog), state_(state) {}

    void setTitle(const std::u16string& title) override {
        SetWindowTextW(dialog_, toWin(title).c_str());
    }
    void setText(ConnectionControl control, const std::u16string& text) override {
        SetDlgItemTextW(dialog_, controlId(control), toWin(text).c_str());
    }
    std::u16string text(ConnectionControl control) override {
        const HWND item = GetDlgItem(dialog_, controlId(control));
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
        const int length = GetWindowTextW(item, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
        return fromWin(text);
    }
    void limitText(ConnectionControl control, std::size_t maxLength) override {
        SendDlgItemMessageW(dialog_, controlId(control), EM_LIMITTEXT, maxLength, 0);
    }
    void setServerNames(const std::vector<std::u16string>& names) override {
        for (const std::u16string& name : names) {
            SendDlgItemMessageW(dialog_, IDC_CONN_SERVER, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(toWin(name).c_str()));
        }
    }
    void selectServer(std::size_t index) override {
        SendDlgItemMessageW(dialog_, IDC_CONN_SERVER, CB_SETCURSEL, index, 0);
    }
    std::optional<std::size_t> selectedServer() override {
        const LRESULT index = SendDlgItemMessageW(dialog_, IDC_CONN_SERVER, CB_GETCURSEL, 0, 0);
        return index < 0 ? std::nullopt : std::optional(static_cast<std::size_t>(index));
    }
    void setRememberPassword(bool isChecked) override {
        CheckDlgButton(dialog_, IDC_CONN_REMEMBER, isChecked ? BST_CHECKED : BST_UNCHECKED);
    }
    bool isRememberPasswordChecked() override {
        return IsDlgButtonChecked(dialog_, IDC_CONN_REMEMBER) == BST_CHECKED;
    }
    void setEncrypted(bool isChecked) override {
        CheckDlgButton(dialog_, IDC_CONN_TLS, isChecked ? BST_CHECKED : BST_UNCHECKED);
    }
    bool isEncryptedChecked() override {
        return IsDlgButtonChecked(dialog_, IDC_CONN_TLS) == BST_CHECKED;
    }
    void focus(ConnectionControl control) override {
        // WM_NEXTDLGCTL, not SetFocus: the dialog also moves its default button along.
        SendMessageW(dialog_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(dialog_, controlId(control))), TRUE);
    }
    void beep() override { MessageBeep(0); }
    bool askYesNo(const std::u16string& caption, const std::u16string& text) override {
        // Owned by the dialog: it stays disabled while the question is open, and the focus
        // comes back to it afterwards.
        return MessageBoxW(dialog_, toWin(text).c_str(), toWin(caption).c_str(),
                           MB_YESNO | MB_ICONWARNING) == IDYES;
    }
    void showAbout() override { win::showAbout(dialog_, state_); }
    void close(bool isConfirmed) override { EndDialog(dialog_, isConfirmed ? IDOK : IDCANCEL); }

private:
    HWND dialog_;
    AppState& state_;
};

// Lives in showConnectionDialog's frame for the dialog's whole life.
struct DialogContext {
    AppState& state;
    Shell& shell;
    const ConnectionDialogHooks& hooks;
    WindowTitle title;
    std::optional<WinConnectionDialogView> view;
    std::optional<ConnectionDialog> logic;
};

// The subclass of the login field: what cannot be part of a login never gets in.
LRESULT CALLBACK loginCharFilter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR) {
    if (message == WM_CHAR && !isLoginCharAllowed(static_cast<char16_t>(wParam))) {
        MessageBeep(0);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, loginCharFilter, id);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void onCommand(ConnectionDialog& logic, WORD id, WORD code) {
    if (id == IDC_CONN_SERVER) {
        if (code == CBN_SELCHANGE) {
            logic.serverSelectionChanged();
        }
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
    case IDOK:
        logic.connect();
        break;
    case IDCANCEL: // Escape and the close box
        logic.cancel();
        break;
    case IDC_CONN_CREATE_ACCOUNT:
        logic.createAccount();
        break;
    case IDC_CONN_LOST_PASSWORD:
        logic.lostPassword();
        break;
    case IDC_CONN_ABOUT:
        logic.about();
        break;
    case IDC_CONN_RESTORE_DEFAULTS:
        logic.restoreDefaults();
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK connectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto& context = *reinterpret_cast<DialogContext*>(lParam);
        context.view.emplace(dialog, context.state);
        context.logic.emplace(context.state, *context.view, context.shell, context.title,
                              context.hooks);
        SetWindowSubclass(GetDlgItem(dialog, IDC_CONN_LOGIN), loginCharFilter, 1, 0);
        context.logic->initialise();
        return FALSE; // the focus is already in the login field
    }
    auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!context || !context->logic) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        onCommand(*context->logic, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        context->logic->cancel();
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

bool showConnectionDialog(AppState& state, HWND mainWindow, Shell& shell,
                          const ConnectionDialogHooks& hooks) {
    DialogContext context{state, shell, hooks, WindowTitle(mainWindow), {}, {}};
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), L"conndlg", mainWindow, connectionDialogProc,
                        reinterpret_cast<LPARAM>(&context));
    if (result == -1 || !context.logic) {
        // Without the dialog nothing would ever connect: end instead of waiting silently.
        state.debugLog.line("Couldn't show the connection dialog");
        shell.postQuit();
        return false;
    }
    return context.logic->isConfirmed();
}

} // namespace vendrel::win

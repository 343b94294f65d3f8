#pragma once
// The connection dialog's decisions: which server, login and password fill the fields, which
// logins are accepted, what Connect saves and starts, and what the account links, About and
// restore-defaults buttons do. The window itself is a ConnectionDialogView; the core never
// sees a handle.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel {

struct AppState;
class MainWindow;
class Shell;

// The logins the server accepts: ASCII letters, digits, '_', '-' and '.'. An empty text passes
// here; the length is checked on its own.
[[nodiscard]] bool isValidLogin(std::u16string_view login);

// What the login field lets through as it is typed: the login characters, backspace and the
// editing keys Ctrl+A, Ctrl+C, Ctrl+V and Ctrl+X. Anything else is swallowed with a beep.
// Pasted text is not seen here; Connect checks the whole login again.
[[nodiscard]] bool isLoginCharAllowed(char16_t typed);

inline constexpr std::size_t kMinLoginLength = 4;
inline constexpr std::size_t kMaxLoginLength = 32;
inline constexpr std::size_t kMaxPasswordLength = 63;

// The dialog's controls, in tab order; each label comes before its control.
enum class ConnectionControl {
    ServerLabel,
    ServerSelector,
    LoginLabel,
    Login,
    PasswordLabel,
    Password,
    RememberPassword,
    Connect,
    LostPassword,
    CreateAccount,
    RestoreDefaults,
    About,
    // Last, so the Tab order of the controls before it stays what players know.
    Encrypted,
};

struct ConnectionControlText {
    ConnectionControl control;
    std::string_view key; // language key of the control's text
};

// Every control that shows a text, with the language key it is read from.
inline constexpr std::array<ConnectionControlText, 10> kConnectionControlTexts{{
    {ConnectionControl::ServerLabel, "server"},
    {ConnectionControl::LoginLabel, "login"},
    {ConnectionControl::PasswordLabel, "password"},
    {ConnectionControl::RememberPassword, "rememberpassword"},
    {ConnectionControl::Connect, "connection"},
    {ConnectionControl::LostPassword, "lostpassword"},
    {ConnectionControl::CreateAccount, "createaccount"},
    {ConnectionControl::RestoreDefaults, "restoredefaults"},
    {ConnectionControl::About, "about"},
    {ConnectionControl::Encrypted, "encrypted"},
}};

// The open dialog window. GUI thread, every method.
class ConnectionDialogView {
public:
    virtual ~ConnectionDialogView() = default;

    virtual void setTitle(const std::u16string& title) = 0;
    // A label's, button's or field's text.
    virtual void setText(ConnectionControl control, const std::u16string& text) = 0;
    // The login or password field's text as typed (or pasted).
    [[nodiscard]] virtual std::u16string text(ConnectionControl control) = 0;
    virtual void limitText(ConnectionControl control, std::size_t maxLength) = 0;
    virtual void setServerNames(const std::vector<std::u16string>& names) = 0;
    virtual void selectServer(std::size_t index) = 0;
    // The server list's selection; nothing when no entry is selected.
    [[nodiscard]] virtual std::optional<std::size_t> selectedServer() = 0;
    virtual void setRememberPassword(bool isChecked) = 0;
    [[nodiscard]] virtual bool isRememberPasswordChecked() = 0;
    virtual void setEncrypted(bool isChecked) = 0;
    [[nodiscard]] virtual bool isEncryptedChecked() = 0;
    virtual void focus(ConnectionControl control) = 0;
    // The default system beep.
    virtual void beep() = 0;
    // A Yes/No question with the warning icon; true for Yes.
    [[nodiscard]] virtual bool askYesNo(const std::u16string& caption,
                                        const std::u16string& text) = 0;
    virtual void showAbout() = 0;
    // Ends the modal dialog.
    virtual void close(bool isConfirmed) = 0;
};

// What the dialog sets going outside itself. GUI thread; an empty function is skipped.
struct ConnectionDialogHooks {
    // Starts the connection thread for the server now selected (ClientSession).
    std::function<void()> startConnection;
    // Loads the chosen server's views and channels before the connection starts.
    std::function<void()> loadServerPresentation;
    // Restores the defaults, as the main window's command does (restoreDefaults with the
    // program's parts); without it only the settings are reset.
    std::function<void()> restoreDefaults;
};

class ConnectionDialog {
public:
    ConnectionDialog(AppState& state, ConnectionDialogView& view, Shell& shell,
                     MainWindow& mainWindow, ConnectionDialogHooks hooks);

    // WM_INITDIALOG: the title, the texts, the server list and the selected server's entry;
    // the focus goes to the login field.
    void initialise();
    // Button 1 and Enter. A refused login keeps the dialog open, and so does a No to the
    // question asked before a server once reached encrypted is used in clear.
    void connect();
    // Escape and the close box: the program ends.
    void cancel();
    // The server list reported a new selection.
    void serverSelectionChanged();
    void createAccount();
    void lostPassword();
    void about();
    void restoreDefaults();

    // After the dialog has closed: true when the player confirmed.
    [[nodiscard]] bool isConfirmed() const { return isConfirmed_; }

private:
    void fillFromEntry(std::size_t index);
    void openAccountLink(bool isCreateAccount);
    void setMainWindowTitle();
    [[nodiscard]] std::optional<std::size_t> selectedEntry();
    [[nodiscard]] std::u16string fieldText(ConnectionControl control, std::size_t maxLength);

    AppState& state_;
    ConnectionDialogView& view_;
    Shell& shell_;
    MainWindow& mainWindow_;
    ConnectionDialogHooks hooks_;
    bool isConfirmed_ = false;
};

} // namespace vendrel

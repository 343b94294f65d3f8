#include "dialogs/connection_dialog_logic.h"

#include <utility>

#include "app/app_state.h"
#include "config/config_file.h"
#include "net/links.h"
#include "ports/main_window.h"
#include "ports/shell.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {
namespace {

bool isLoginChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'-' || c == u'.';
}

// Backspace and the control characters of Ctrl+A, Ctrl+C, Ctrl+V and Ctrl+X: without them the
// field could not be edited from the keyboard.
bool isEditingChar(char16_t c) {
    return c == 8 || c == 1 || c == 3 || c == 22 || c == 24;
}

} // namespace

bool isValidLogin(std::u16string_view login) {
    for (const char16_t c : login) {
        if (!isLoginChar(c)) {
            return false;
        }
    }
    return true;
}

bool isLoginCharAllowed(char16_t typed) {
    return isLoginChar(typed) || isEditingChar(typed);
}

ConnectionDialog::ConnectionDialog(AppState& state, ConnectionDialogView& view, Shell& shell,
                                   MainWindow& mainWindow, ConnectionDialogHooks hooks)
    : state_(state), view_(view), shell_(shell), mainWindow_(mainWindow), hooks_(std::move(hooks)) {
}

void ConnectionDialog::initialise() {
    state_.debugLog.line("INitializing connection dialog");
    // Every other step indexes the list: it must hold at least the built-in server.
    if (state_.servers.empty()) {
        resetServers(state_);
    }
    std::vector<std::u16string> names;
    names.reserve(state_.servers.size());
    for (const ServerEntry& entry : state_.servers) {
        names.push_back(entry.name);
    }
    view_.setServerNames(names);
    // An index from config.ini that names no server shows the built-in one.
    const std::size_t selected = defaultServerIndex(state_.settings, state_.servers);
    view_.selectServer(selected);
    fillFromEntry(selected);
    view_.limitText(ConnectionControl::Login, kMaxLoginLength);
    view_.limitText(ConnectionControl::Password, kMaxPasswordLength);
    view_.setTitle(state_.tr("connTitle"));
    for (const ConnectionControlText& item : kConnectionControlTexts) {
        view_.setText(item.control, state_.tr(item.key));
    }
    view_.focus(ConnectionControl::Login);
    state_.debugLog.line("Connection dialog Ok");
}

void ConnectionDialog::connect() {
    const std::u16string login = fieldText(ConnectionControl::Login, kMaxLoginLength);
    const std::u16string password = fieldText(ConnectionControl::Password, kMaxPasswordLength);
    if (login.size() < kMinLoginLength || !isValidLogin(login)) {
        view_.focus(ConnectionControl::Login);
        view_.beep();
        return;
    }
    // A list without a selection keeps the server chosen before, which always names an entry.
    const std::size_t index =
        selectedEntry().value_or(defaultServerIndex(state_.settings, state_.servers));
    ServerEntry& entry = state_.servers[index];
    const bool isTls = view_.isEncryptedChecked();
    if (entry.hasReachedTls && !isTls) {
        // The password would cross the network in clear to a server known to offer better.
        if (!view_.askYesNo(state_.tr("plainconnection"), state_.tr("plainconnection1"))) {
            view_.setEncrypted(true);
            view_.focus(ConnectionControl::Encrypted);
            return;
        }
        // The player chose, knowing; a later TLS login arms the question again.
        entry.hasReachedTls = false;
    }
    state_.settings.defaultServer = static_cast<std::int32_t>(index);
    entry.isTls = isTls;
    entry.rememberPassword = view_.isRememberPasswordChecked();
    entry.login = toNarrow(login);
    // Kept in memory even when it is not remembered: the connection logs in with it, and
    // saveConfig leaves it out of config.ini.
    entry.password = toNarrow(password);
    isConfirmed_ = true;
    view_.close(true);
    setMainWindowTitle();
    if (hooks_.loadServerPresentation) {
        hooks_.loadServerPresentation();
    }
    if (hooks_.startConnection) {
        hooks_.startConnection();
    }
}

void ConnectionDialog::cancel() {
    isConfirmed_ = false;
    view_.close(false);
    setMainWindowTitle();
    shell_.postQuit();
}

void ConnectionDialog::serverSelectionChanged() {
    if (const auto index = selectedEntry()) {
        fillFromEntry(*index);
    }
}

void ConnectionDialog::createAccount() {
    openAccountLink(true);
}

void ConnectionDialog::lostPassword() {
    openAccountLink(false);
}

void ConnectionDialog::about() {
    view_.showAbout();
}

void ConnectionDialog::restoreDefaults() {
    if (!view_.askYesNo(state_.tr("restoredefaults"), state_.tr("restoredefaults1"))) {
        view_.focus(ConnectionControl::RestoreDefaults);
        return;
    }
    if (hooks_.restoreDefaults) {
        hooks_.restoreDefaults();
    } else {
        restoreDefaultSettings(state_);
    }
    view_.selectServer(defaultServerIndex(state_.settings, state_.servers));
    view_.setText(ConnectionControl::Login, u"");
    view_.setText(ConnectionControl::Password, u"");
    view_.focus(ConnectionControl::Login);
}

void ConnectionDialog::fillFromEntry(std::size_t index) {
    const ServerEntry& entry = state_.servers[index];
    view_.setText(ConnectionControl::Login, toWide(entry.login));
    view_.setText(ConnectionControl::Password, toWide(entry.password));
    view_.setRememberPassword(entry.rememberPassword);
    view_.setEncrypted(entry.isTls);
}

void ConnectionDialog::openAccountLink(bool isCreateAccount) {
    const auto index = selectedEntry();
    if (!index) {
        return;
    }
    const ServerEntry& entry = state_.servers[*index];
    const std::string& link = isCreateAccount ? entry.createAccountUrl : entry.lostPasswordUrl;
    // The same rule as the server's links: web pages only on the web host of the server
    // confirmed last, whichever entry the list shows now.
    const ServerEntry& current =
        state_.servers[defaultServerIndex(state_.settings, state_.servers)];
    if (isLinkAllowed(link, current.webHost)) {
        shell_.openLink(link);
    }
}

void ConnectionDialog::setMainWindowTitle() {
    const ServerEntry& entry = state_.servers[defaultServerIndex(state_.settings, state_.servers)];
    mainWindow_.setTitle(formatWide(512, state_.tr("winTitle2"), entry.name, toWide(entry.login)));
}

std::optional<std::size_t> ConnectionDialog::selectedEntry() {
    const auto index = view_.selectedServer();
    if (index && *index < state_.servers.size()) {
        return index;
    }
    return std::nullopt;
}

std::u16string ConnectionDialog::fieldText(ConnectionControl control, std::size_t maxLength) {
    std::u16string text = view_.text(control);
    if (text.size() > maxLength) {
        text.resize(maxLength);
    }
    return text;
}

} // namespace vendrel

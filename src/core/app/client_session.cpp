#include "app/client_session.h"

#include <thread>

#include "app/app_state.h"
#include "app/worker.h"
#include "config/config_file.h"
#include "config/language.h"
#include "games/connect_four.h"
#include "games/move_request.h"
#include "games/reversi.h"
#include "menu/menu_controller.h"
#include "net/command_dispatcher.h"
#include "net/connection_error.h"
#include "net/connection_loop.h"
#include "net/downloads.h"
#include "net/focus_chat.h"
#include "net/links.h"
#include "net/login_record.h"
#include "ports/gui_thread.h"
#include "ports/history_sink.h"
#include "ports/shell.h"
#include "ports/sound_player.h"
#include "speech/speech_ids.h"
#include "speech/speech_library.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {

ClientSession::ClientSession(AppState& state, const SessionPorts& ports)
    : state_(state), ports_(ports), connection_(ports.sockets, state.debugLog),
      outgoing_(connection_),
      boxes_({connection_, ports.worker, ports.gui, ports.dialogs, ports.modalBoxShowing}) {}

ClientSession::~ClientSession() {
    connection_.active = false;
}

void ClientSession::startConnection() {
    if (isThreadStarted_.exchange(true)) {
        return;
    }
    // The thread ends by itself; at exit it is left to the end of the process, as a blocked
    // read cannot be waited for.
    std::thread([this] { runConnectionThread(); }).detach();
}

void ClientSession::runConnectionThread() {
    ConnectionLoop loop{connection_,
                        ports_.clock,
                        ports_.sounds,
                        [this] { return connectToSelectedServer(); },
                        [this] {
                            runCommands(connection_, *this);
                            ++connectionGeneration_;
                        },
                        [this](int result) {
                            reportConnectionError(result);
                        }};
    doConnect2(loop);
}

void ClientSession::shutdown() {
    connection_.active = false;
    connection_.close();
}

ServerEntry ClientSession::selectedServer() {
    ServerEntry entry;
    ports_.gui.run(
        [&] { entry = state_.servers[defaultServerIndex(state_.settings, state_.servers)]; });
    return entry;
}

int ClientSession::connectToSelectedServer() {
    const ServerEntry server = selectedServer();
    LoginIdentity identity;
    identity.language = toNarrow(state_.tr("isocode"));
    identity.machineKey = state_.machineKey.value;
    identity.systemVersion = systemVersionCode(state_.osVersion.major, state_.osVersion.minor);
    identity.speechEngine = ports_.speech.speechGetValue(speech_id::kEngine);
    const auto security =
        server.isTls ? SocketSystem::Security::Tls : SocketSystem::Security::Plain;
    const int result = connection_.login(server.host, server.port, server.login, server.password,
                                         identity, security);
    // A server that answered a login over TLS has shown it can: from now on the dialog asks
    // before the password goes to it in clear.
    if (server.isTls && (result == 0 || result == Connection::kRefused)) {
        ports_.gui.run([&] {
            state_.servers[defaultServerIndex(state_.settings, state_.servers)].hasReachedTls =
                true;
        });
    }
    return result;
}

void ClientSession::reportConnectionError(int result) {
    const std::string reason = connection_.lastError();
    ports_.gui.run([&] {
        const std::u16string systemText = result > 0 ? ports_.shell.systemErrorText(result) : u"";
        ports_.shell.showError(
            state_.tr("error"),
            connectionErrorText(result, reason, systemText,
                                [this](std::string_view key) { return state_.tr(key); }));
        ports_.shell.postQuit();
    });
}

void ClientSession::historyAdd(const std::string& text, std::int32_t channelWord) {
    ports_.history.historyAdd(toWide(text), channelWord);
}

void ClientSession::playSound(const std::string& parameters, std::int32_t channel) {
    ports_.sounds.playSound(parameters, channel);
}

void ClientSession::mainWindowCommand(std::int32_t id) {
    ports_.gui.run([&] { ports_.shell.runCommand(id); });
}

void ClientSession::openLink(const std::string& link) {
    const ServerEntry server = selectedServer();
    if (isLinkAllowed(link, server.webHost)) {
        ports_.gui.run([&] { ports_.shell.openLink(link); });
    }
}

void ClientSession::changeLanguage(const std::string& name) {
    ports_.gui.run([&] { vendrel::changeLanguage(state_, name, ports_.mainWindow); });
}

void ClientSession::boardGameMove(const std::string& message, bool isReversi) {
    const std::uint64_t generation = connectionGeneration_.load();
    const std::uint64_t session = connection_.session();
    ports_.worker.postJob([this, message, isReversi, generation, session] {
        // A search for a connection that has ended answers nobody: stop it.
        const KeepSearching keepSearching = [this, generation] {
            return connectionGeneration_.load() == generation && connection_.active.load();
        };
        const std::string_view args = std::string_view(message).substr(5);
        const auto move =
            isReversi ? reversiMove(args, keepSearching) : connectFourMove(args, keepSearching);
        if (move && keepSearching()) {
            (void)connection_.sendTextInSession(session, moveAnswer(*move));
        }
    });
}

void ClientSession::focusChat(std::int32_t flags, const std::string& text) {
    ports_.gui.run([&] { applyFocusChat(flags, toWide(text), ports_.chatLine); });
}

bool ClientSession::isSoundLoaded(const std::string& name) {
    return ports_.sounds.isSoundLoaded(name);
}

void ClientSession::menuCommand(const std::string& menuText, int mode) {
    if (menus_) {
        ports_.gui.run([&] { menus_->applyMenuCommand(menuText, mode); });
    }
}

void ClientSession::closeMenus(std::int32_t n) {
    if (menus_) {
        ports_.gui.run([&] { menus_->closeMenus(n); });
    }
}

void ClientSession::moveMenuSelection(const std::string& arguments) {
    if (menus_) {
        ports_.gui.run([&] { menus_->moveMenuSelectionCommand(arguments); });
    }
}

std::int32_t ClientSession::currentMenuId() {
    std::int32_t id = -1;
    if (menus_) {
        ports_.gui.run([&] { id = menus_->currentMenuId(); });
    }
    return id;
}

bool ClientSession::menuExists(std::int32_t id) {
    bool exists = false;
    if (menus_) {
        ports_.gui.run([&] { exists = menus_->menuExists(id); });
    }
    return exists;
}

void ClientSession::openLocalMenu(std::int32_t id) {
    if (menus_) {
        ports_.gui.run([&] { (void)menus_->openLocalMenu(id, 0); });
    }
}

void ClientSession::inputBox(const std::string& arguments, InputBoxKind kind) {
    boxes_.prepareInputBox(arguments, kind == InputBoxKind::MultiLine,
                           kind == InputBoxKind::Password);
}

void ClientSession::messageBox(const std::string& arguments, bool isBlocking) {
    boxes_.prepareMessageBox(arguments, !isBlocking);
}

void ClientSession::download(const std::string& arguments) {
    handleDownloadRequest(arguments);
}

void ClientSession::handleDownloadRequest(const std::string& arguments) {
    const DownloadRequest request = parseDownloadRequest(arguments);
    if (request.name.empty()) {
        return;
    }
    bool isAllowed = true;
    ports_.gui.run([&] { isAllowed = state_.settings.allowDownloads; });
    if (!isAllowed) {
        state_.debugLog.line("Download refused by the settings: ", request.name);
        return;
    }
    const auto tr = [this](std::string_view key) {
        return state_.tr(key);
    };
    if (!isSafeDownloadName(request.name)) {
        state_.debugLog.line("Download refused, unsafe file name: ", request.name);
        ports_.history.historyAdd(
            formatWide(512, tr("downloadingFail"), toWide(request.name), kDownloadNameRefused),
            kDownloadChannel);
        return;
    }
    const ServerEntry server = selectedServer();
    const std::string localPath = localDownloadPath(state_.folders.program, request.name);
    if (!isDownloadDue(localFileTime(localPath), request.stamp)) {
        return;
    }
    DownloadJob job{request.name, server.webHost,
                    remoteDownloadPath(server.webBaseDir, request.name), localPath};
    ports_.worker.postJob([this, job = std::move(job), tr] {
        doDownload(job, ports_.sockets, ports_.history, tr, httpLimits_);
    });
}

void ClientSession::flashWindow(std::int32_t channel, std::int32_t count) {
    // Only a channel whose sounds play in the background flashes, and only while the player is
    // in another window.
    ports_.gui.run([&] {
        const auto flags = state_.presentation.published.flags(channel & 31);
        if (flags && (*flags & channel_flag::kSoundsInBackground) &&
            !ports_.shell.isMainWindowActive()) {
            ports_.shell.flashWindow(count);
        }
    });
}

void ClientSession::quit() {
    ports_.gui.run([&] { ports_.shell.postQuit(); });
}

} // namespace vendrel

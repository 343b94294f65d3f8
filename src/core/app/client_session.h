#pragma once
// The connection wired into the client: the connection thread, what the server's commands do,
// and what the player sends. Client state stays on the GUI thread: every effect that touches
// it runs there through GuiThread, and the connection thread waits for it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/client_settings.h"
#include "dialogs/server_boxes.h"
#include "net/chat_history.h"
#include "net/command_effects.h"
#include "net/connection.h"
#include "net/http_client.h"
#include "net/outgoing_commands.h"

namespace vendrel {

struct AppState;
class ChatLine;
class Clock;
class DialogService;
class MenuController;
class GuiThread;
class HistorySink;
class MainWindow;
class Shell;
class SocketSystem;
class SoundPlayer;
class SpeechLibrary;
class Worker;

struct SessionPorts {
    SocketSystem& sockets;
    Clock& clock;
    SoundPlayer& sounds;
    Worker& worker;
    GuiThread& gui;
    HistorySink& history;
    Shell& shell;
    MainWindow& mainWindow;
    ChatLine& chatLine;
    DialogService& dialogs;
    ModalBoxFlag& modalBoxShowing;
    // Asked for the engine in use when logging in: the server adapts its texts to it.
    SpeechLibrary& speech;
};

// Downloads refused because the server named a file outside the program folder.
inline constexpr int kDownloadNameRefused = -7;

class ClientSession final : public CommandEffects {
public:
    ClientSession(AppState& state, const SessionPorts& ports);
    ~ClientSession() override;
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // GUI thread: starts the connection thread for the selected server.
    void startConnection();
    // The connection thread's body (doConnect2 with this session's parts); tests call it
    // directly.
    void runConnectionThread();
    // GUI thread, at exit: no reconnection, and the reader wakes up.
    void shutdown();

    [[nodiscard]] Connection& connection() { return connection_; }
    [[nodiscard]] OutgoingCommands& outgoing() { return outgoing_; }
    [[nodiscard]] ChatHistory& chatHistory() { return chatHistory_; }
    void setHttpLimits(const HttpLimits& limits) { httpLimits_ = limits; }
    // The menus the server's menu commands act on (GUI thread objects).
    void setMenus(MenuController& menus) { menus_ = &menus; }

    // The dwnl command. Connection thread.
    void handleDownloadRequest(const std::string& arguments);

    // CommandEffects, on the connection thread.
    void historyAdd(const std::string& text, std::int32_t channelWord) override;
    void playSound(const std::string& parameters, std::int32_t channel) override;
    void mainWindowCommand(std::int32_t id) override;
    void openLink(const std::string& link) override;
    void changeLanguage(const std::string& name) override;
    void boardGameMove(const std::string& message, bool isReversi) override;
    void focusChat(std::int32_t flags, const std::string& text) override;
    bool isSoundLoaded(const std::string& name) override;
    void menuCommand(const std::string& menuText, int mode) override;
    void closeMenus(std::int32_t n) override;
    void moveMenuSelection(const std::string& arguments) override;
    std::int32_t currentMenuId() override;
    bool menuExists(std::int32_t id) override;
    void openLocalMenu(std::int32_t id) override;
    void inputBox(const std::string& arguments, InputBoxKind kind) override;
    void messageBox(const std::string& arguments, bool isBlocking) override;
    void download(const std::string& arguments) override;
    void flashWindow(std::int32_t channel, std::int32_t count) override;
    void quit() override;

private:
    // A copy of the selected server entry, taken on the GUI thread.
    [[nodiscard]] ServerEntry selectedServer();
    [[nodiscard]] int connectToSelectedServer();
    void reportConnectionError(int result);

    AppState& state_;
    SessionPorts ports_;
    Connection connection_;
    OutgoingCommands outgoing_;
    ChatHistory chatHistory_;
    ServerBoxes boxes_;
    MenuController* menus_ = nullptr;
    HttpLimits httpLimits_;
    // Counts finished connections: a move search asked for by an earlier one is abandoned.
    std::atomic<std::uint64_t> connectionGeneration_{0};
    std::atomic<bool> isThreadStarted_{false};
};

} // namespace vendrel

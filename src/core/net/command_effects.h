#pragma once
// What the server's commands do outside the connection. The dispatcher calls these on the
// connection thread, in arrival order; an implementation moves window work onto the GUI thread
// (and waits), and hands long work to the worker. Effects whose owners are not built yet keep
// the default: the command is read and ignored.

#include <cstdint>
#include <string>

namespace vendrel {

enum class InputBoxKind { SingleLine, MultiLine, Password };

class CommandEffects {
public:
    virtual ~CommandEffects() = default;

    // Connection thread, all of them.
    virtual void historyAdd(const std::string& /*text*/, std::int32_t /*channelWord*/) {}
    virtual void playSound(const std::string& /*parameters*/, std::int32_t /*channel*/) {}
    virtual void inputBox(const std::string& /*arguments*/, InputBoxKind /*kind*/) {}
    // mode 0 updates items (mupi), 1 shows a new menu, 2 updates a menu (mupd).
    virtual void menuCommand(const std::string& /*menuText*/, int /*mode*/) {}
    virtual void closeMenus(std::int32_t /*n*/) {}
    virtual void moveMenuSelection(const std::string& /*arguments*/) {}
    // The front menu's id, -1 when no menu is open.
    [[nodiscard]] virtual std::int32_t currentMenuId() { return -1; }
    [[nodiscard]] virtual bool menuExists(std::int32_t /*id*/) { return false; }
    virtual void openLocalMenu(std::int32_t /*id*/) {}
    virtual void mainWindowCommand(std::int32_t /*id*/) {}
    virtual void messageBox(const std::string& /*arguments*/, bool /*isBlocking*/) {}
    virtual void openLink(const std::string& /*link*/) {}
    virtual void changeLanguage(const std::string& /*name*/) {}
    // The whole message; the move goes back as "inbx 28" when the search is done.
    virtual void boardGameMove(const std::string& /*message*/, bool /*isReversi*/) {}
    virtual void focusChat(std::int32_t /*flags*/, const std::string& /*text*/) {}
    [[nodiscard]] virtual bool isSoundLoaded(const std::string& /*name*/) { return false; }
    virtual void download(const std::string& /*arguments*/) {}
    virtual void flashWindow(std::int32_t /*channel*/, std::int32_t /*count*/) {}
    // The connection is already closed; the program should end.
    virtual void quit() {}
};

} // namespace vendrel

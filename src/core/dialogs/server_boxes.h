#pragma once
// The server's input boxes (inbx, inbm, inbp) and message boxes (msgb, msbm): where each runs
// and what goes back. Input boxes and msgb become worker jobs, so the command loop reads on
// while the player types; msbm holds the loop until it is answered.

#include <atomic>
#include <cstdint>
#include <string>

#include "dialogs/box_request.h"

namespace vendrel {

class Connection;
class DialogService;
class GuiThread;
class Worker;

// modalBoxShowing: set while one of the server's boxes is open. The program counts as in the
// foreground then. It counts the open boxes: a msgb box on the worker and a msbm box on the
// connection thread can be open together, and closing one must not clear it for the other.
class ModalBoxFlag {
public:
    // Any thread.
    [[nodiscard]] bool isShowing() const { return openBoxes_.load() > 0; }

private:
    friend class ModalBoxScope;
    std::atomic<int> openBoxes_{0};
};

// Sets the flag for its lifetime, whichever way the box ends.
class ModalBoxScope {
public:
    explicit ModalBoxScope(ModalBoxFlag& flag) : flag_(flag) { ++flag_.openBoxes_; }
    ~ModalBoxScope() { --flag_.openBoxes_; }
    ModalBoxScope(const ModalBoxScope&) = delete;
    ModalBoxScope& operator=(const ModalBoxScope&) = delete;

private:
    ModalBoxFlag& flag_;
};

struct BoxPorts {
    Connection& connection; // answers go out only while it is logged in
    Worker& worker;
    GuiThread& gui;
    DialogService& dialogs;
    ModalBoxFlag& modalBoxShowing;
};

class ServerBoxes {
public:
    explicit ServerBoxes(const BoxPorts& ports) : ports_(ports) {}

    // Connection thread. inbx (false, false), inbm (true, false), inbp (false, true): hands
    // the box to the worker and returns; waits first while an earlier job still runs, so a
    // second box is shown only after the first is closed.
    void prepareInputBox(const std::string& arguments, bool isMultiLine, bool isPassword);
    // Connection thread. msgb (isInBackground) becomes a worker job; msbm runs here at once and
    // holds the command loop until the player answers.
    void prepareMessageBox(const std::string& arguments, bool isInBackground);

    // The jobs themselves, on the thread that runs them (the worker; msbm the connection
    // thread). Never on the GUI thread: they wait for it. The answer goes only to the login
    // (Connection::session) the request came in.
    void runInputBox(const InputBoxRequest& request, std::uint64_t session);
    void runMessageBox(const MessageBoxRequest& request, std::uint64_t session);

private:
    void sendAnswer(std::uint64_t session, const std::string& answer);

    BoxPorts ports_;
};

} // namespace vendrel

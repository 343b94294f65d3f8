#pragma once
// Services of the desktop that the connection's commands reach.

#include <cstdint>
#include <string>

namespace vendrel {

class Shell {
public:
    virtual ~Shell() = default;

    // GUI thread, all of these.
    virtual void openLink(const std::string& link) = 0;
    // Flashes caption and taskbar button count times, when the main window is not active.
    virtual void flashWindow(std::int32_t count) = 0;
    [[nodiscard]] virtual bool isMainWindowActive() = 0;
    // A modal error box over the main window.
    virtual void showError(const std::u16string& caption, const std::u16string& text) = 0;
    // The main window carries out one of its command ids.
    virtual void runCommand(std::int32_t id) = 0;
    // Ends the message loop.
    virtual void postQuit() = 0;
    // The system's text for a socket error code.
    [[nodiscard]] virtual std::u16string systemErrorText(int code) = 0;
};

} // namespace vendrel

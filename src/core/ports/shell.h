#pragma once
// Services of the desktop that the connection's commands and the history reach.

#include <cstdint>
#include <string>

namespace vendrel {

class Shell {
public:
    virtual ~Shell() = default;

    // GUI thread, all of these but tone.
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
    // The default system sound of a refusal (an impossible move, link or view).
    virtual void beep() = 0;
    // Puts the text on the clipboard; false when the clipboard could not be taken.
    [[nodiscard]] virtual bool copyToClipboard(const std::u16string& text) = 0;
    // Any thread: a plain tone, returning when it has played.
    virtual void tone(int frequency, int milliseconds) = 0;
};

} // namespace vendrel

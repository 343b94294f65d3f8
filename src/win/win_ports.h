#pragma once
// Win32 adapters of the ports the connection reaches.

#include <windows.h>

#include "ports/chat_line.h"
#include "ports/clock.h"
#include "ports/shell.h"

namespace vendrel::win {

class MainWindowShell;

class WinClock final : public Clock {
public:
    std::int64_t nowMs() override;
    void sleepMs(std::int64_t milliseconds) override;
};

class WinShell final : public Shell {
public:
    explicit WinShell(MainWindowShell& window) : window_(window) {}
    void openLink(const std::string& link) override;
    void flashWindow(std::int32_t count) override;
    bool isMainWindowActive() override;
    void showError(const std::u16string& caption, const std::u16string& text) override;
    void runCommand(std::int32_t id) override;
    void postQuit() override;
    std::u16string systemErrorText(int code) override;
    void beep() override;
    bool copyToClipboard(const std::u16string& text) override;
    void tone(int frequency, int milliseconds) override;

private:
    MainWindowShell& window_;
};

class EditChatLine final : public ChatLine {
public:
    explicit EditChatLine(MainWindowShell& window) : window_(window) {}
    std::u16string text() override;
    void setText(const std::u16string& text) override;
    void selectFrom(std::size_t start) override;
    void replaceSelection(const std::u16string& text) override;
    void placeCaretAtEnd() override;
    void focus() override;

private:
    MainWindowShell& window_;
};

} // namespace vendrel::win

#include "win_ports.h"

#include <shellapi.h>

#include <chrono>
#include <cstring>

#include "main_window.h"
#include "win_text.h"

namespace vendrel::win {

std::int64_t WinClock::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void WinClock::sleepMs(std::int64_t milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

void WinShell::openLink(const std::string& link) {
    // Wide, so a link with non-ASCII characters reaches the browser as it was sent.
    ShellExecuteW(window_.hwnd(), L"open", utf8ToWin(link).c_str(), nullptr, nullptr, SW_SHOW);
}

void WinShell::flashWindow(std::int32_t count) {
    FLASHWINFO info{sizeof(FLASHWINFO), window_.hwnd(), FLASHW_ALL, static_cast<UINT>(count), 0};
    FlashWindowEx(&info);
}

bool WinShell::isMainWindowActive() {
    return window_.isActive();
}

void WinShell::showError(const std::u16string& caption, const std::u16string& text) {
    MessageBoxW(window_.hwnd(), toWin(text).c_str(), toWin(caption).c_str(), MB_ICONERROR);
}

void WinShell::runCommand(std::int32_t id) {
    SendMessageW(window_.hwnd(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
}

void WinShell::postQuit() {
    PostQuitMessage(0);
}

std::u16string WinShell::systemErrorText(int code) {
    wchar_t buffer[1024] = {};
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 1023, nullptr);
    return fromWin(std::wstring_view(buffer, length));
}

void WinShell::beep() {
    MessageBeep(0);
}

bool WinShell::copyToClipboard(const std::u16string& text) {
    if (!OpenClipboard(window_.hwnd())) {
        return false;
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    bool isCopied = false;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            isCopied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!isCopied) {
            GlobalFree(memory); // the clipboard owns it only once it was taken
        }
    }
    CloseClipboard();
    return isCopied;
}

void WinShell::tone(int frequency, int milliseconds) {
    Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(milliseconds));
}

std::u16string EditChatLine::text() {
    HWND line = window_.chatLine();
    std::wstring buffer(static_cast<std::size_t>(GetWindowTextLengthW(line)) + 1, L'\0');
    const int length = GetWindowTextW(line, buffer.data(), static_cast<int>(buffer.size()));
    buffer.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return fromWin(buffer);
}

void EditChatLine::setText(const std::u16string& text) {
    SetWindowTextW(window_.chatLine(), toWin(text).c_str());
}

void EditChatLine::selectFrom(std::size_t start) {
    SendMessageW(window_.chatLine(), EM_SETSEL, start, -1);
}

void EditChatLine::replaceSelection(const std::u16string& text) {
    SendMessageW(window_.chatLine(), EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>(toWin(text).c_str()));
}

void EditChatLine::placeCaretAtEnd() {
    const int length = GetWindowTextLengthW(window_.chatLine());
    SendMessageW(window_.chatLine(), EM_SETSEL, static_cast<WPARAM>(length), length);
}

void EditChatLine::focus() {
    SetFocus(window_.chatLine());
}

} // namespace vendrel::win

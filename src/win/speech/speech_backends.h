#pragma once
// The Windows speech back-ends, each found at run time: nothing here is a DLL the program
// needs in order to start. The bridge calls them on its own thread only, where COM is set up.

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "speech/speech_backend.h"
#include "text/utf.h"

namespace vendrel::win {

// JAWS through its COM automation object, while the JAWS window exists.
[[nodiscard]] std::unique_ptr<SpeechBackend> makeJawsSpeech();
// UI Automation notifications raised on the main window: Narrator, and other screen readers
// that listen for them.
[[nodiscard]] std::unique_ptr<SpeechBackend> makeNotificationSpeech();
// NVDA through its controller client DLL, when the player has put it beside the exe.
[[nodiscard]] std::unique_ptr<SpeechBackend> makeNvdaSpeech(const std::wstring& programFolder);
// The system's SAPI 5 voices.
[[nodiscard]] std::unique_ptr<SpeechBackend> makeSapiSpeech();

// The window notifications are raised on; until it is set (and after it is cleared with
// nullptr) that back-end is unavailable. Any thread.
void setNotificationWindow(HWND window);

// A DLL's function as its own type. The detour through void (*)() is the one cast between
// function types that the compiler accepts without a warning.
template <typename Function> Function dllFunction(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Error codes as the diagnosis names them: system error numbers in decimal, as Windows' own
// messages show them, and COM results in hexadecimal, as they are looked up.
inline std::u16string errorNumber(unsigned long code) {
    return toWide(std::to_string(code));
}
inline std::u16string resultCode(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return toWide(text);
}

} // namespace vendrel::win

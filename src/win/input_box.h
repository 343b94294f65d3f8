#pragma once
// The server's input boxes and message boxes on Windows: the dialog templates "input" and
// "inputml" (resources/input_dialogs.rc) and the system's message box, all owned by the main
// window.

#include <windows.h>

#include "app/app_state.h"
#include "ports/dialog_service.h"

namespace vendrel::win {

class MainWindowShell;

class WinDialogService final : public DialogService {
public:
    WinDialogService(AppState& state, HINSTANCE instance, MainWindowShell& window)
        : state_(state), instance_(instance), window_(window) {}

    // GUI thread only.
    InputBoxResult showInputBox(const InputBoxTexts& box) override;
    // Any thread; the box runs on the caller's thread.
    std::int32_t showMessageBox(const std::u16string& caption, const std::u16string& text,
                                std::uint32_t type) override;

private:
    AppState& state_;
    HINSTANCE instance_;
    MainWindowShell& window_;
};

} // namespace vendrel::win

#pragma once
// The connection dialog "conndlg" (resources/connection_dialog.rc): the Win32 face of
// ConnectionDialog, which makes every decision.

#include <windows.h>

#include "app/app_state.h"
#include "dialogs/connection_dialog_logic.h"
#include "ports/shell.h"

namespace vendrel::win {

// Runs the modal dialog owned by mainWindow; GUI thread, once, before any connection. On
// Connect the choice is saved into the settings, the main window is retitled and
// hooks.startConnection runs before this returns true. On Cancel (Escape, the close box) the
// main window is retitled, the quit message is already posted through shell.postQuit(), and
// this returns false.
[[nodiscard]] bool showConnectionDialog(AppState& state, HWND mainWindow, Shell& shell,
                                        const ConnectionDialogHooks& hooks);

} // namespace vendrel::win

#pragma once
// The About box: from the main window's system menu and from the connection dialog.

#include <windows.h>

#include "app/app_state.h"

namespace vendrel::win {

// Modal over owner; GUI thread.
void showAbout(HWND owner, AppState& state);

} // namespace vendrel::win

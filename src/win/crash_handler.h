#pragma once
// When the program crashes: a line in debug.txt, a short tune, a message box, exit code 1.

#include <windows.h>

namespace vendrel {
struct AppState;
}

namespace vendrel::win {

void installCrashHandler(AppState& state);
// The crash message box is owned by the main window once it exists.
void setCrashOwner(HWND window);

} // namespace vendrel::win

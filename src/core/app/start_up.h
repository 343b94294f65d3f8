#pragma once
// Preparing the environment before the main window: folders, machine key, debug log,
// settings, language and the worker thread, each step announced on the debug log.

namespace vendrel {

struct AppState;
class SystemEnvironment;
class Worker;

// False when the program cannot run: sockets, APPDATA, the user folders, the volume query or
// the language file failed. Nothing is written to debug.txt before the folders exist.
[[nodiscard]] bool initEnvironment(AppState& state, SystemEnvironment& system, Worker& worker);

} // namespace vendrel

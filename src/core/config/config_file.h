#pragma once
// config.ini: the settings record and the server list with the remembered passwords.

#include <string>

namespace vendrel {

struct AppState;

// Empties the server list and puts the built-in server in it (loading a language first when
// none is loaded, for the server's name and addresses).
void resetServers(AppState& state);

// Fills the settings and the server list from the user folder's config.ini; a missing file
// leaves the current settings and logs the fallback.
void loadConfig(AppState& state);

// Writes them back; false (and a debug-log line) when the file could not be written, in which
// case the previous config.ini is left whole.
bool saveConfig(AppState& state);

// The data part of restoring the defaults: deletes the user folder's *.ini files, resets the
// settings record and reloads the language. The server list is kept.
void restoreDefaultSettings(AppState& state);

// Removes the temporary files that saves of config.ini and of the views and channels files
// ("views<N>.ini", "channels<N>.ini") left in the user folder when they were killed halfway.
void removeInterruptedSaves(const std::string& userFolder);

// The key prefix of server entry n: "servers[n].".
[[nodiscard]] std::string serverKeyPrefix(std::size_t n);

} // namespace vendrel

#pragma once
// Choosing and loading the language file, and the server's language change.

#include <string>
#include <string_view>

namespace vendrel {

struct AppState;
class MainWindow;

// Loads the configured language (detected from the user's locale when none is set), falling
// back to english.lng; the user folder's file wins over the program folder's. Without force,
// does nothing when messages are already loaded. True when the table holds messages.
bool loadLanguage(AppState& state, bool force);

// "French_France.1252" gives "French"; a name without "_" is taken whole.
[[nodiscard]] std::string languageFromLocale(std::string_view localeName);

// The server's "clng": switch, retitle the main window, save the settings.
void changeLanguage(AppState& state, const std::string& name, MainWindow& window);

} // namespace vendrel

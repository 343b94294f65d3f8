#include "config/language.h"

#include "app/app_state.h"
#include "app/files.h"
#include "config/config_file.h"
#include "ports/main_window.h"
#include "ports/platform.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {

std::string languageFromLocale(std::string_view localeName) {
    return std::string(localeName.substr(0, localeName.find('_')));
}

bool loadLanguage(AppState& state, bool force) {
    if (!force && !state.messages.empty()) {
        return true;
    }
    std::string& name = state.settings.languageName;
    if (name.empty()) {
        const std::string locale = state.platform ? state.platform->userLocaleName() : "";
        name = languageFromLocale(locale);
        state.debugLog.line("NO language set in the config, fallback to auto-detection: ", name);
    }
    state.messages.clear();
    const std::string candidates[] = {
        state.folders.user + name + ".lng",
        state.folders.program + name + ".lng",
        state.folders.user + "english.lng",
        state.folders.program + "english.lng",
    };
    for (const std::string& path : candidates) {
        if (const auto text = readWholeFile(path)) {
            state.messages.addText(*text);
            if (!state.messages.empty()) {
                break;
            }
        }
    }
    return !state.messages.empty();
}

void changeLanguage(AppState& state, const std::string& name, MainWindow& window) {
    // The name comes from the server and becomes part of a path: it must name a file in the
    // two language folders, nothing elsewhere.
    if (name.find_first_of("/\\:") != std::string::npos || name == "." || name == "..") {
        state.debugLog.line("Refused language name: ", name);
        return;
    }
    state.settings.languageName = name;
    (void)loadLanguage(state, true);
    const ServerEntry& server = state.servers[defaultServerIndex(state.settings, state.servers)];
    window.setTitle(formatWide(512, state.tr("winTitle2"), server.name, toWide(server.login)));
    (void)saveConfig(state);
}

} // namespace vendrel

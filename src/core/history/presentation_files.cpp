#include "history/presentation_files.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "config/client_settings.h"
#include "config/ini_store.h"
#include "history/presentation.h"
#include "ports/platform.h"
#include "text/utf.h"

namespace vendrel {
namespace {

// Custom colours are indexed by one code unit of a line; more than this is never meant.
constexpr std::size_t kMaxCustomColours = 256;
// Names are spoken in the option menus: a name of megabytes would be read for hours.
constexpr std::size_t kMaxNameLength = 1000;
constexpr char kNoName[] = "NONAME";

std::string userFile(const AppState& state, const char* kind, std::size_t server) {
    return state.folders.user + kind + std::to_string(server) + ".ini";
}

bool saveUserFile(AppState& state, const IniWriter& ini, const std::string& path) {
    if (!ini.save(path)) {
        state.debugLog.line("Couldn't write ", path);
        return false;
    }
    return true;
}

std::string indexed(const char* key, std::size_t i) {
    return key + std::to_string(i);
}

std::u16string readName(const IniReader& ini, const std::string& key) {
    std::u16string name = toWide(ini.getString(key, kNoName));
    if (name.size() > kMaxNameLength) {
        name.resize(kMaxNameLength);
    }
    return name;
}

// Read as 64 bits and cut to the 32 the value stands for, so a word written unsigned (bit 31
// set) reads back as it was instead of saturating.
std::uint32_t readWord(const IniReader& ini, const std::string& key) {
    return static_cast<std::uint32_t>(ini.getInt64(key, 0));
}

std::uint32_t word(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        value |= std::uint32_t{static_cast<unsigned char>(bytes[at + k])} << (8 * k);
    }
    return value;
}

std::string presetName(const char* kind, std::int32_t protocol) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%x", kind, static_cast<unsigned>(protocol));
    return name;
}

// The protocol whose presets are used: the one asked for when the program carries them.
std::int32_t presetProtocol(AppState& state, const char* kind, std::int32_t protocol) {
    return state.platform->presetData(presetName(kind, protocol)) ? protocol
                                                                  : BuiltInServer::kProtocol;
}

std::string presetBytes(AppState& state, const char* kind, std::int32_t protocol) {
    return state.platform->presetData(presetName(kind, protocol)).value_or("");
}

std::int32_t protocolOf(const AppState& state, std::size_t server) {
    return server < state.servers.size() ? state.servers[server].protocol
                                         : BuiltInServer::kProtocol;
}

// A view beyond a shorter list would select nothing at all: the first view takes its place.
void keepCurrentViewInList(Presentation& presentation) {
    if (presentation.currentView < 0 ||
        static_cast<std::size_t>(presentation.currentView) >= presentation.views.size()) {
        presentation.currentView = 0;
    }
}

} // namespace

void loadDefaultViews(AppState& state, std::int32_t protocol) {
    Presentation& presentation = state.presentation;
    presentation.views.clear();
    const std::string bytes = presetBytes(state, "defv", presetProtocol(state, "defv", protocol));
    for (std::size_t i = 0; i < std::min(bytes.size() / 4, kMaxViews); ++i) {
        presentation.views.push_back({word(bytes, i * 4), state.tr(indexed("view", i))});
    }
    keepCurrentViewInList(presentation);
}

void loadDefaultChannels(AppState& state, std::int32_t protocol, bool isDark) {
    Presentation& presentation = state.presentation;
    presentation.channels.clear();
    presentation.customColours.clear();
    const std::int32_t chosen = presetProtocol(state, "defc", protocol);
    const std::string records = presetBytes(state, "defc", chosen);
    for (std::size_t i = 0; i < std::min(records.size() / 16, kMaxChannels); ++i) {
        const std::size_t at = i * 16;
        presentation.channels.push_back({word(records, at), word(records, at + 4),
                                         word(records, at + (isDark ? 12 : 8)),
                                         state.tr(indexed("channel", i))});
    }
    const std::string pairs = presetBytes(state, "defcolors", chosen);
    for (std::size_t j = 0; j < std::min(pairs.size() / 8, kMaxCustomColours); ++j) {
        presentation.customColours.push_back(word(pairs, j * 8 + (isDark ? 4 : 0)));
    }
    presentation.publishFlags();
}

void loadViews(AppState& state, std::size_t server) {
    Presentation& presentation = state.presentation;
    IniReader ini;
    ini.load(userFile(state, "views", server));
    if (ini.size() > 0) {
        presentation.views.clear();
        for (std::size_t i = 0; i < kMaxViews && ini.has(indexed("name", i)); ++i) {
            presentation.views.push_back(
                {readWord(ini, indexed("channels", i)), readName(ini, indexed("name", i))});
        }
    }
    if (ini.size() == 0 || presentation.views.empty()) {
        state.debugLog.line("No valid view found, fallback to default");
        loadDefaultViews(state, protocolOf(state, server));
        (void)saveViews(state, server);
    }
    keepCurrentViewInList(presentation);
}

void loadChannels(AppState& state, std::size_t server) {
    Presentation& presentation = state.presentation;
    IniReader ini;
    ini.load(userFile(state, "channels", server));
    if (ini.size() > 0) {
        presentation.channels.clear();
        presentation.customColours.clear();
        for (std::size_t i = 0; i < kMaxChannels && ini.has(indexed("name", i)); ++i) {
            presentation.channels.push_back(
                {readWord(ini, indexed("flags", i)), readWord(ini, indexed("effects", i)),
                 readWord(ini, indexed("color", i)), readName(ini, indexed("name", i))});
        }
        for (std::size_t j = 0; j < kMaxCustomColours && ini.has(indexed("custcol", j)); ++j) {
            presentation.customColours.push_back(readWord(ini, indexed("custcol", j)));
        }
    }
    if (ini.size() == 0 || presentation.channels.empty() || presentation.customColours.empty()) {
        state.debugLog.line("No valid presentation found, fallback to default");
        loadDefaultChannels(state, protocolOf(state, server),
                            isDarkBackground(state.platform->windowColour()));
        (void)saveChannels(state, server);
    }
    presentation.publishFlags();
}

bool saveViews(AppState& state, std::size_t server) {
    IniWriter ini;
    const auto& views = state.presentation.views;
    for (std::size_t i = 0; i < views.size(); ++i) {
        ini.setInt(indexed("channels", i), static_cast<std::int32_t>(views[i].mask));
        ini.setWide(indexed("name", i), views[i].name);
    }
    return saveUserFile(state, ini, userFile(state, "views", server));
}

bool saveChannels(AppState& state, std::size_t server) {
    IniWriter ini;
    const Presentation& presentation = state.presentation;
    for (std::size_t i = 0; i < presentation.channels.size(); ++i) {
        const Channel& channel = presentation.channels[i];
        ini.setWide(indexed("name", i), channel.name);
        ini.setInt64(indexed("flags", i), channel.flags);
        ini.setInt64(indexed("effects", i), channel.effects);
        ini.setInt64(indexed("color", i), channel.colour);
    }
    for (std::size_t j = 0; j < presentation.customColours.size(); ++j) {
        ini.setInt64(indexed("custcol", j), presentation.customColours[j]);
    }
    return saveUserFile(state, ini, userFile(state, "channels", server));
}

void loadServerPresentation(AppState& state, std::size_t server) {
    loadViews(state, server);
    loadChannels(state, server);
}

} // namespace vendrel

#include "config/config_file.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "app/files.h"
#include "config/ini_store.h"
#include "config/language.h"
#include "config/password_scramble.h"
#include "text/utf.h"

namespace vendrel {

std::string serverKeyPrefix(std::size_t n) {
    return "servers[" + std::to_string(n) + "].";
}

namespace {

std::string configPath(const AppState& state) {
    return state.folders.user + "config.ini";
}

// A plain text replacement of every "%s", not a printf call: the template is ours, the
// language code comes from a file the player may edit.
std::string replaceAll(std::string text, std::string_view pattern, std::string_view with) {
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + with.size())) {
        text.replace(at, pattern.size(), with);
    }
    return text;
}

// config.ini, or views<N>.ini and channels<N>.ini for a server index N.
bool isSettingsFileName(std::string_view name) {
    if (name == "config.ini") {
        return true;
    }
    constexpr std::string_view kExtension = ".ini";
    for (const std::string_view prefix : {"views", "channels"}) {
        if (name.size() > prefix.size() + kExtension.size() && name.starts_with(prefix) &&
            name.ends_with(kExtension)) {
            const std::string_view index =
                name.substr(prefix.size(), name.size() - prefix.size() - kExtension.size());
            return index.find_first_not_of("0123456789") == std::string_view::npos;
        }
    }
    return false;
}

// The volumes as the engine keeps them (sounds 0..1, streams 0.001..1); what is not a number
// at all gives the default.
float readVolume(const IniReader& ini, const std::string& key, float fallback, float low) {
    const float value = ini.getFloat(key, fallback);
    return std::isfinite(value) ? std::clamp(value, low, SettingRanges::kMaxVolume) : fallback;
}

// Speech indexes and values: -1 leaves the library's own choice, so anything lower means that
// too; the upper ends belong to the engine and are only known once it runs.
std::int32_t readSpeechValue(const IniReader& ini, const std::string& key) {
    return std::max(ini.getInt(key, -1), -1);
}

// A colour is 0x00BBGGRR or -1 for the system colour. A number with other bits set is no
// colour at all (Windows reads the high byte as a palette index), so it means the system's.
std::int32_t readColour(const IniReader& ini, const std::string& key) {
    const std::int32_t value = ini.getInt(key, -1);
    return value >= 0 && value <= SettingRanges::kMaxColour ? value : -1;
}

void readSettings(const IniReader& ini, ClientSettings& s, const std::string& userFolder) {
    const ClientSettings defaults;
    s.soundVolume = readVolume(ini, "sounds.volume", defaults.soundVolume, 0.0f);
    s.streamVolume =
        readVolume(ini, "streams.volume", defaults.streamVolume, SettingRanges::kMinStreamVolume);
    s.srEngine = readSpeechValue(ini, "sr.engine");
    s.srSubEngine = readSpeechValue(ini, "sr.subengine");
    s.srLanguage = readSpeechValue(ini, "sr.language");
    s.srVoice = readSpeechValue(ini, "sr.voice");
    s.srVolume = readSpeechValue(ini, "sr.volume");
    s.srRate = readSpeechValue(ini, "sr.rate");
    s.srPitch = readSpeechValue(ini, "sr.pitch");
    s.srInflexion = readSpeechValue(ini, "sr.inflexion");
    s.defaultServer = ini.getInt("servers.default", 0); // checked once the list is read
    s.fontSize = std::clamp(ini.getInt("style.fontSize", defaults.fontSize),
                            SettingRanges::kMinFontSize, SettingRanges::kMaxFontSize);
    s.lbBgColor = readColour(ini, "style.lbBgColor");
    s.lbFgColor = readColour(ini, "style.lbFgColor");
    s.rtfBgColor = readColour(ini, "style.rtfBgColor");
    s.isDailyLogOn = ini.getBool("log.on", defaults.isDailyLogOn);
    s.rememberPasswords = ini.getBool("user.rememberPasswords", defaults.rememberPasswords);
    s.confirmOnExit = ini.getBool("user.confirmOnExit", defaults.confirmOnExit);
    s.areStreamsEnabled = !ini.getBool("streams.disable", false);
    s.areSoundsEnabled = !ini.getBool("sounds.disable", false);
    s.allowAutoLinks = ini.getBool("user.allowAutoLinks", defaults.allowAutoLinks);
    s.allowDownloads = ini.getBool("user.allowDownloads", defaults.allowDownloads);
    s.disableHistoryColors = ini.getBool("style.disableHistoryColors", false);
    s.disableMenuColors = ini.getBool("style.disableMenuColors", false);
    s.languageName = ini.getString("user.language", "");
    s.soundDevice = ini.getString("sounds.device", "");
    s.fontName = toWide(ini.getString("style.fontName", "Arial"));
    s.logDir = ini.getString("log.dir", userFolder);
}

void writeSettings(IniWriter& ini, const ClientSettings& s) {
    ini.setString("user.language", s.languageName);
    ini.setString("sounds.device", s.soundDevice);
    ini.setString("log.dir", s.logDir);
    ini.setFloat("sounds.volume", s.soundVolume);
    ini.setFloat("streams.volume", s.streamVolume);
    ini.setBool("log.on", s.isDailyLogOn);
    ini.setBool("user.rememberPasswords", s.rememberPasswords);
    ini.setBool("user.confirmOnExit", s.confirmOnExit);
    ini.setBool("streams.disable", !s.areStreamsEnabled);
    ini.setBool("sounds.disable", !s.areSoundsEnabled);
    ini.setBool("user.allowAutoLinks", s.allowAutoLinks);
    ini.setBool("user.allowDownloads", s.allowDownloads);
    ini.setBool("style.disableHistoryColors", s.disableHistoryColors);
    ini.setBool("style.disableMenuColors", s.disableMenuColors);
    ini.setInt("sr.engine", s.srEngine);
    ini.setInt("sr.subengine", s.srSubEngine);
    ini.setInt("sr.language", s.srLanguage);
    ini.setInt("sr.voice", s.srVoice);
    ini.setInt("sr.volume", s.srVolume);
    ini.setInt("sr.rate", s.srRate);
    ini.setInt("sr.pitch", s.srPitch);
    ini.setInt("sr.inflexion", s.srInflexion);
    ini.setInt("servers.default", s.defaultServer);
    ini.setInt("style.fontSize", s.fontSize);
    ini.setInt("style.lbBgColor", s.lbBgColor);
    ini.setInt("style.lbFgColor", s.lbFgColor);
    ini.setInt("style.rtfBgColor", s.rtfBgColor);
    ini.setWide("style.fontName", s.fontName);
}

} // namespace

void resetServers(AppState& state) {
    (void)loadLanguage(state, false);
    state.servers.clear();
    ServerEntry& builtIn = state.servers.emplace_back();
    const std::string isoCode = toNarrow(state.tr("isocode"));
    const std::string site = std::string("http://") + BuiltInServer::webHost();
    builtIn.name = state.tr("servername");
    builtIn.host = BuiltInServer::host();
    builtIn.webHost = BuiltInServer::webHost();
    builtIn.webBaseDir = "/autodl/";
    builtIn.createAccountUrl = replaceAll(site + "/%s/register", "%s", isoCode);
    builtIn.lostPasswordUrl = replaceAll(site + "/%s/lostpassword", "%s", isoCode);
    builtIn.protocol = BuiltInServer::kProtocol;
    builtIn.port = BuiltInServer::kPort;
    builtIn.rememberPassword = true;
}

void loadConfig(AppState& state) {
    resetServers(state);
    IniReader ini;
    ini.load(configPath(state));
    if (ini.size() == 0) {
        state.debugLog.line("No config found, fallback to default");
        resetServers(state);
        return;
    }
    readSettings(ini, state.settings, state.folders.user);
    state.servers.resize(1);
    const auto key = state.machineKey.bytes();
    for (std::size_t n = 0;; ++n) {
        const std::string prefix = serverKeyPrefix(n);
        if (n >= 1) {
            if (!ini.has(prefix + "name")) {
                break;
            }
            ServerEntry& entry = state.servers.emplace_back();
            entry.name = toWide(ini.getString(prefix + "name", ""));
            entry.host = ini.getString(prefix + "host", "");
            entry.webHost = ini.getString(prefix + "http.host", "");
            entry.webBaseDir = ini.getString(prefix + "http.basedir", "");
            entry.port = std::clamp(ini.getInt(prefix + "port", 0), 0, SettingRanges::kMaxPort);
            entry.protocol = ini.getInt(prefix + "protocol", 0);
            entry.createAccountUrl = ini.getString(prefix + "url.createAccount", "");
            entry.lostPasswordUrl = ini.getString(prefix + "url.lostPassword", "");
        }
        ServerEntry& entry = state.servers[n];
        entry.rememberPassword = ini.getBool(prefix + "rememberPassword", true);
        entry.isTls = ini.getBool(prefix + "tls", false);
        entry.hasReachedTls = ini.getBool(prefix + "tlsReached", false);
        entry.login = ini.getString(prefix + "login", "");
        const auto scrambled = hexDecode(ini.getString(prefix + "password", ""));
        if (!scrambled) {
            state.debugLog.line("Unreadable remembered password dropped for server #",
                                std::to_string(n));
        }
        entry.password = scrambled ? scramblePassword(*scrambled, key) : std::string();
    }
    // A default server that names no entry means the built-in one, and is saved so.
    state.settings.defaultServer =
        static_cast<std::int32_t>(defaultServerIndex(state.settings, state.servers));
}

bool saveConfig(AppState& state) {
    IniWriter ini;
    writeSettings(ini, state.settings);
    const auto key = state.machineKey.bytes();
    for (std::size_t n = 0; n < state.servers.size(); ++n) {
        const ServerEntry& entry = state.servers[n];
        const std::string prefix = serverKeyPrefix(n);
        if (n >= 1) {
            ini.setWide(prefix + "name", entry.name);
            ini.setInt(prefix + "protocol", entry.protocol);
            ini.setString(prefix + "host", entry.host);
            ini.setString(prefix + "http.host", entry.webHost);
            ini.setString(prefix + "http.basedir", entry.webBaseDir);
            ini.setInt(prefix + "port", entry.port);
            ini.setString(prefix + "url.createAccount", entry.createAccountUrl);
            ini.setString(prefix + "url.lostPassword", entry.lostPasswordUrl);
        }
        ini.setBool(prefix + "rememberPassword", entry.rememberPassword);
        // Written only when set, so the config.ini of a plain server stays as it always was.
        if (entry.isTls) {
            ini.setBool(prefix + "tls", true);
        }
        if (entry.hasReachedTls) {
            ini.setBool(prefix + "tlsReached", true);
        }
        if (entry.rememberPassword) {
            ini.setString(prefix + "login", entry.login);
            ini.setString(prefix + "password", hexEncode(scramblePassword(entry.password, key)));
        }
    }
    if (!ini.save(configPath(state))) {
        state.debugLog.line("Couldn't write ", configPath(state));
        return false;
    }
    return true;
}

void removeInterruptedSaves(const std::string& userFolder) {
    for (const auto& file : filesIn(userFolder)) {
        const std::string name = utf8FromPath(file.filename());
        const auto target = targetOfTemporaryFile(name);
        if (target && isSettingsFileName(*target)) {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
    }
}

void restoreDefaultSettings(AppState& state) {
    for (const auto& file : filesIn(state.folders.user)) {
        if (file.extension() == ".ini") {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
    }
    state.settings = ClientSettings();
    (void)loadLanguage(state, true);
}

} // namespace vendrel

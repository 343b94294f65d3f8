#pragma once
// The client's settings record and the server list, as config.ini stores them.

#include <cstdint>
#include <string>
#include <vector>

namespace vendrel {

// The ranges of the numeric settings; config.ini is a file anyone can edit, so what it holds
// is brought into them when it is read.
struct SettingRanges {
    static constexpr float kMaxVolume = 1.0f;
    static constexpr float kMinStreamVolume = 0.001f; // the streams' master never reaches 0
    static constexpr std::int32_t kMinFontSize = 4;   // the font chooser's limits, in points
    static constexpr std::int32_t kMaxFontSize = 36;
    static constexpr std::int32_t kMaxColour = 0xFFFFFF;
    static constexpr std::int32_t kMaxPort = 65535;
};

struct ClientSettings {
    float soundVolume = 1.0f;     // "sounds.volume"
    float streamVolume = 0.25f;   // "streams.volume"
    std::int32_t audioDevice = 1; // device number in use; not stored
    std::int32_t srEngine = -1;   // "sr.engine"
    std::int32_t srSubEngine = -1;
    std::int32_t srLanguage = -1;
    std::int32_t srVoice = -1;
    std::int32_t srVolume = -1;
    std::int32_t srRate = -1;
    std::int32_t srPitch = -1;
    std::int32_t srInflexion = -1;
    std::int32_t defaultServer = 0; // "servers.default"
    std::int32_t fontSize = 14;
    std::int32_t lbBgColor = -1; // colours are 0x00BBGGRR; -1 means the system colour
    std::int32_t lbFgColor = -1;
    std::int32_t rtfBgColor = -1;
    bool isDailyLogOn = false;
    bool rememberPasswords = true;
    bool confirmOnExit = true;
    bool areStreamsEnabled = true; // stored inverted as "streams.disable"
    bool areSoundsEnabled = true;  // stored inverted as "sounds.disable"
    bool allowAutoLinks = false;
    bool allowDownloads = true;
    bool disableHistoryColors = false;
    bool disableMenuColors = false;
    std::string languageName; // empty: detect from the user's locale
    std::string soundDevice;
    std::u16string fontName = u"Arial";
    std::string logDir;
};

struct ServerEntry {
    std::u16string name;
    std::string host;
    std::string login;
    std::string password; // plain in memory, scrambled in config.ini
    std::string webHost;  // may carry ":port"
    std::string webBaseDir;
    std::string createAccountUrl;
    std::string lostPasswordUrl;
    std::int32_t protocol = 0;
    std::int32_t port = 0;
    bool rememberPassword = true;
    // The game connection goes through TLS; off for every server that does not ask for it.
    bool isTls = false;
    // A TLS login has reached this server once: going back to plain asks the player first.
    bool hasReachedTls = false;
};

// Entry 0 is always the built-in server.
using ServerList = std::vector<ServerEntry>;

// Endpoints of the built-in server, fixed when the program is built.
struct BuiltInServer {
    static constexpr std::int32_t kProtocol = 0x20000;
    static constexpr std::int32_t kPort = 1321;
    static const char* host();
    static const char* webHost();
};

// The index "servers.default" names, or 0 when it names no entry of the list.
[[nodiscard]] std::size_t defaultServerIndex(const ClientSettings& settings,
                                             const ServerList& servers);

} // namespace vendrel

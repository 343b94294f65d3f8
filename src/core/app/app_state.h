#pragma once
// The process-wide state that start-up establishes. It is owned by the GUI thread; the few
// members that other threads touch (the debug log, the message table) lock themselves.

#include <array>
#include <cstdint>
#include <string>

#include "app/daily_log.h"
#include "app/debug_log.h"
#include "app/machine_key.h"
#include "config/client_settings.h"
#include "config/message_table.h"
#include "history/presentation.h"

namespace vendrel {

class Platform;

struct Folders {
    std::string program; // the exe's folder, with its trailing backslash
    std::string user;    // %APPDATA%\TORV\ (UTF-8), with its trailing backslash
};

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t servicePackMajor = 0;
    std::uint32_t servicePackMinor = 0;
};

// Virtual-key codes that the menu list passes to the server as game keys.
using GameKeyTable = std::array<bool, 256>;

struct AppState {
    Folders folders;
    MachineKey machineKey;
    OsVersion osVersion;
    ClientSettings settings;
    ServerList servers;
    MessageTable messages;
    DebugLog debugLog;
    DailyLog dailyLog;
    Presentation presentation;
    GameKeyTable gameKeys{};
    Platform* platform = nullptr;

    [[nodiscard]] std::u16string tr(std::string_view key) { return messages.tr(key); }
};

[[nodiscard]] GameKeyTable defaultGameKeys();

} // namespace vendrel

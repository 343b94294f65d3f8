#include "app/start_up.h"

#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "app/daily_log.h"
#include "app/files.h"
#include "app/worker.h"
#include "config/config_file.h"
#include "config/language.h"
#include "ports/system_environment.h"

namespace vendrel {
namespace {

bool ensureFolder(const std::string& folder) {
    std::error_code error;
    const auto path = pathFromUtf8(folder);
    if (std::filesystem::is_directory(path, error)) {
        return true;
    }
    return std::filesystem::create_directory(path, error) && !error;
}

std::string folderOf(const std::string& file) {
    const std::size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

} // namespace

bool initEnvironment(AppState& state, SystemEnvironment& system, Worker& worker) {
    system.installCrashHandlers();
    if (!system.startSockets()) {
        return false;
    }
    state.osVersion = system.osVersion();
    state.folders.program = folderOf(system.programPath());

    const std::string appData = system.variable("APPDATA").value_or("");
    if (appData.empty()) {
        return false;
    }
    state.folders.user = appData + kPathSeparator + "TORV" + kPathSeparator;
    if (!ensureFolder(state.folders.user) ||
        !ensureFolder(state.folders.user + "sounds" + kPathSeparator)) {
        return false;
    }
    // The drive that holds the user folder: "C:\" for C:\Users\...; a network path gives no
    // volume root and fails here.
    const auto serial = system.volumeSerial(appData.substr(0, 3));
    if (!serial) {
        return false;
    }
    state.machineKey = machineKeyFromSerial(*serial);

    DebugLog& log = state.debugLog;
    log.open(state.folders.user + "debug.txt");
    log.line("AppDir: ", state.folders.program);
    log.line("UserDir: ", state.folders.user);
    log.line("PATH: ", system.variable("PATH").value_or(""));
    log.line("Processors: ", system.variable("NUMBER_OF_PROCESSORS").value_or("") + ";" +
                                 system.variable("PROCESSOR_ARCHITECTURE").value_or(""));
    const OsVersion& os = state.osVersion;
    log.line("OS version: ", std::to_string(os.major) + "." + std::to_string(os.minor) + "." +
                                 std::to_string(os.build) + " +SP" +
                                 std::to_string(os.servicePackMajor) + "." +
                                 std::to_string(os.servicePackMinor));

    log.line("Loading config...");
    removeInterruptedSaves(state.folders.user);
    loadConfig(state);
    log.line("Loading language...");
    if (!loadLanguage(state, true)) {
        log.line("Failed to load language file !");
        return false;
    }
    if (state.settings.isDailyLogOn) {
        (void)openDailyLog(state);
    }

    log.line("Creating worker thread...");
    worker.start();

    state.gameKeys = defaultGameKeys();
    return true;
}

} // namespace vendrel

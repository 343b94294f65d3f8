// Any bytes as config.ini (anyone can edit it): loaded into the settings and the server list,
// saved, and loaded again. A save of what was loaded must load back to the same settings and
// servers, so a second save writes the very same file; every number must have come into its
// range, and the default server must name an entry of the list.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "config/config_file.h"
#include "fakes/fake_platform.h"
#include "fuzz_failure.h"
#include "run_folder.h"

using vendrel::fuzzing::fail;

namespace {

using vendrel::SettingRanges;

// A fresh state over the run's folders: the user folder holds config.ini, the program folder
// a small language file.
struct Loaded {
    vendrel::testing::FakePlatform platform;
    vendrel::AppState state;

    Loaded() {
        const std::string& folder = vendrel::fuzzing::runFolder("config");
        state.folders.user = folder;
        state.folders.program = folder;
        state.platform = &platform;
        state.machineKey = vendrel::machineKeyFromSerial(0xC0FFEE);
        vendrel::loadConfig(state);
    }
};

void checkRanges(const vendrel::AppState& state) {
    const vendrel::ClientSettings& s = state.settings;
    const auto isColour = [](std::int32_t c) {
        return c == -1 || (c >= 0 && c <= SettingRanges::kMaxColour);
    };
    if (!(s.soundVolume >= 0.0f && s.soundVolume <= SettingRanges::kMaxVolume) ||
        !(s.streamVolume >= SettingRanges::kMinStreamVolume &&
          s.streamVolume <= SettingRanges::kMaxVolume) ||
        s.fontSize < SettingRanges::kMinFontSize || s.fontSize > SettingRanges::kMaxFontSize ||
        !isColour(s.lbBgColor) || !isColour(s.lbFgColor) || !isColour(s.rtfBgColor) ||
        s.srEngine < -1 || s.srVoice < -1 || s.srRate < -1) {
        fail("a setting outside its range");
    }
    if (s.defaultServer < 0 || static_cast<std::size_t>(s.defaultServer) >= state.servers.size()) {
        fail("the default server names no entry");
    }
    for (const vendrel::ServerEntry& server : state.servers) {
        if (server.port < 0 || server.port > SettingRanges::kMaxPort) {
            fail("a server's port outside its range");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = vendrel::fuzzing::runFolder("config");
    static const bool hasLanguage = [&] {
        vendrel::fuzzing::writeFile(folder + "english.lng",
                                    "isocode=en\nservername=Vendrel lounge\n");
        return true;
    }();
    (void)hasLanguage;
    const std::string path = folder + "config.ini";
    vendrel::fuzzing::writeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

    std::string saved;
    {
        Loaded first;
        checkRanges(first.state);
        if (!vendrel::saveConfig(first.state)) {
            fail("config.ini could not be saved");
        }
        saved = vendrel::readWholeFile(path).value_or("");
    }
    Loaded second;
    checkRanges(second.state);
    if (!vendrel::saveConfig(second.state) || vendrel::readWholeFile(path) != saved) {
        fail("what was saved does not load back to the same settings");
    }
    return 0;
}

// Any bytes as the INI files players and servers edit: entries, escapes and messages survive
// writing and reading; as config.ini and a server's views and channels files, the settings
// stay in range and load back the same after a save.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "app/app_state.h"
#include "config/config_file.h"
#include "config/ini_store.h"
#include "config/message_table.h"
#include "fakes/fake_platform.h"
#include "fuzz_failure.h"
#include "history/presentation.h"
#include "history/presentation_files.h"
#include "run_folder.h"
#include "text/utf.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

// A fresh start over the run's folder, which holds the files and a small language file.
struct Loaded {
    testing::FakePlatform platform;
    AppState state;

    explicit Loaded(std::int32_t currentView) {
        state.folders.user = state.folders.program = fuzzing::runFolder("ini");
        state.platform = &platform;
        state.machineKey = machineKeyFromSerial(0xC0FFEE);
        state.messages.addText("view0=All\nchannel0=Chat\n");
        platform.useSmallPresets();
        loadConfig(state);
        state.presentation.currentView = currentView;
        loadServerPresentation(state, 0);
        check();
    }

    void check() const {
        const ClientSettings& s = state.settings;
        const auto isColour = [](std::int32_t c) {
            return c >= -1 && c <= SettingRanges::kMaxColour;
        };
        if (!(s.soundVolume >= 0.0f && s.soundVolume <= SettingRanges::kMaxVolume) ||
            !(s.streamVolume >= SettingRanges::kMinStreamVolume &&
              s.streamVolume <= SettingRanges::kMaxVolume) ||
            s.fontSize < SettingRanges::kMinFontSize || s.fontSize > SettingRanges::kMaxFontSize ||
            !isColour(s.lbBgColor) || !isColour(s.lbFgColor) || !isColour(s.rtfBgColor) ||
            s.srEngine < -1 || s.srVoice < -1 || s.srRate < -1 || s.defaultServer < 0 ||
            static_cast<std::size_t>(s.defaultServer) >= state.servers.size() ||
            std::any_of(state.servers.begin(), state.servers.end(), [](const ServerEntry& e) {
                return e.port < 0 || e.port > SettingRanges::kMaxPort;
            })) {
            fail("a setting outside its range, or the default server names no entry");
        }
        const Presentation& p = state.presentation;
        if (p.channels.empty() || p.channels.size() > kMaxChannels || p.views.empty() ||
            p.views.size() > kMaxViews || p.customColours.empty() || p.customColours.size() > 256 ||
            p.currentView < 0 || static_cast<std::size_t>(p.currentView) >= p.views.size()) {
            fail("the presentation breaks its tables' limits");
        }
        for (int channel = -1; channel <= 40; ++channel) {
            const auto flags = p.published.flags(channel);
            const Channel* own = p.channel(channel);
            if (flags.has_value() != (own != nullptr) || (own && *flags != own->flags)) {
                fail("the published flags differ from the channels'");
            }
        }
    }
};

void checkEntries(std::string_view text) {
    using Entries = std::map<std::string, std::string>;
    const auto read = [](std::string_view ini) {
        Entries entries;
        forEachIniEntry(ini, [&](std::string_view key, std::string value) {
            entries[std::string(key)] = std::move(value); // a later line replaces an earlier one
        });
        return entries;
    };
    const Entries entries = read(text);
    IniWriter writer;
    IniReader reader;
    reader.loadText(text);
    MessageTable messages;
    messages.addText(text);
    for (const auto& [key, value] : entries) {
        if (key.find('\n') != std::string::npos || value.find('\0') != std::string::npos ||
            reader.getString(key, "\x01missing") != value ||
            messages.tr(key) != toWide(value.empty() ? key : value)) {
            fail("a key with a line feed, a value with a NUL byte, or another value read", key);
        }
        writer.setString(key, value);
    }
    if (read(writer.text()) != entries || reader.size() != entries.size()) {
        fail("entries change when written and read again, or IniReader holds others");
    }
    // The whole input as one value (NUL bytes and all: escaping does not stop at them).
    if (unescapeIniValue(escapeIniValue(text)) != text) {
        fail("a value does not survive escaping");
    }
}

bool isSame(const Presentation& a, const Presentation& b) {
    const auto sameChannel = [](const Channel& x, const Channel& y) {
        return std::tie(x.flags, x.effects, x.colour, x.name) ==
               std::tie(y.flags, y.effects, y.colour, y.name);
    };
    const auto sameView = [](const View& x, const View& y) {
        return x.mask == y.mask && x.name == y.name;
    };
    return std::ranges::equal(a.channels, b.channels, sameChannel) &&
           std::ranges::equal(a.views, b.views, sameView) && a.customColours == b.customColours &&
           a.currentView == b.currentView;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkEntries(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string& folder = fuzzing::runFolder("ini");
    static const bool hasLanguage = [&] {
        fuzzing::writeFile(folder + "english.lng", "isocode=en\nservername=Vendrel lounge\n");
        return true;
    }();
    (void)hasLanguage;
    fuzzing::writeFile(folder + "config.ini",
                       std::string_view(reinterpret_cast<const char*>(data), size));
    FuzzedDataProvider input(data, size);
    const std::int32_t currentView = input.ConsumeIntegralInRange(-2, 40);
    fuzzing::writeFile(folder + "views0.ini", input.ConsumeRandomLengthString(4096));
    fuzzing::writeFile(folder + "channels0.ini", input.ConsumeRemainingBytesAsString());

    Loaded first(currentView);
    if (!saveConfig(first.state) || !saveViews(first.state, 0) || !saveChannels(first.state, 0)) {
        fail("the settings could not be saved");
    }
    const auto saved = readWholeFile(folder + "config.ini");
    Loaded second(first.state.presentation.currentView);
    if (!isSame(first.state.presentation, second.state.presentation) || !saveConfig(second.state) ||
        readWholeFile(folder + "config.ini") != saved) {
        fail("what was saved does not load back the same");
    }
    return 0;
}

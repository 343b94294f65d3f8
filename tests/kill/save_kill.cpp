// The settings saves killed at random moments: a child process saves config.ini and the views
// and channels files in a loop, alternating between two contents, and is killed with SIGKILL
// after a random while. After each kill every file must be whole, one of the two contents, and
// load; the interrupted saves' temporary files must go at the next start. The argument is the
// number of kills (30 by default).

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/files.h"
#include "config/config_file.h"
#include "fakes/fake_platform.h"
#include "fakes/temp_folder.h"
#include "history/presentation_files.h"

namespace {

using namespace vendrel;

const char* const kFiles[] = {"config.ini", "views0.ini", "channels0.ini"};

struct Saved {
    testing::FakePlatform platform;
    AppState state;

    Saved(const std::string& folder, std::int32_t fontSize, const std::u16string& name) {
        state.folders.user = folder;
        state.folders.program = folder;
        state.platform = &platform;
        state.machineKey = machineKeyFromSerial(0xC0FFEE);
        state.messages.addText("isocode=en\nview0=All\nchannel0=Chat\n");
        platform.presets["defv20000"] = std::string("\xff\xff\xff\xff\x01\x00\x00\x00", 8);
        platform.presets["defc20000"] = std::string(16, '\x07');
        platform.presets["defcolors20000"] = std::string(8, '\x10');
        loadServerPresentation(state, 0);
        state.settings.fontSize = fontSize;
        state.presentation.channels[0].name = name;
        state.presentation.views[0].name = name;
    }

    bool save() { return saveConfig(state) && saveViews(state, 0) && saveChannels(state, 0); }
};

std::vector<std::string> contents(const std::string& folder) {
    std::vector<std::string> all;
    for (const char* file : kFiles) {
        all.push_back(readWholeFile(folder + file).value_or("(missing)"));
    }
    return all;
}

int temporaryFiles(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(pathFromUtf8(folder))) {
        count += targetOfTemporaryFile(utf8FromPath(entry.path().filename())).has_value();
    }
    return count;
}

// What a new start finds, file by file (the three are saved one after the other, so each may
// come from a different save): the font size, the first channel's and view's names.
bool loadsAsOneOf(const std::string& folder, const Saved& a, const Saved& b) {
    Saved loaded(folder, 0, u"");
    loadConfig(loaded.state);
    loadServerPresentation(loaded.state, 0);
    const auto& s = loaded.state;
    const auto isOne = [&](auto field) {
        return field(s) == field(a.state) || field(s) == field(b.state);
    };
    return isOne([](const AppState& x) { return x.settings.fontSize; }) &&
           isOne([](const AppState& x) { return x.presentation.channels[0].name; }) &&
           isOne([](const AppState& x) { return x.presentation.views[0].name; });
}

} // namespace

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::atoi(argv[1]) : 30;
    testing::TempFolder folder;
    const std::string path = folder.str();
    Saved a(path, 11, u"old");
    Saved b(path, 23, u"new and longer");
    if (!b.save()) {
        return 1;
    }
    const std::vector<std::string> bytesB = contents(path);
    if (!a.save()) {
        return 1;
    }
    const std::vector<std::string> bytesA = contents(path);

    std::mt19937 random(std::random_device{}());
    int leftovers = 0;
    int news = 0;
    for (int kill = 0; kill < kills; ++kill) {
        const unsigned first = random() % 2;
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (unsigned round = first;; ++round) {
                (void)(round % 2 ? a : b).save();
            }
        }
        // Anywhere from before the first save to a few dozen saves in.
        ::usleep(static_cast<useconds_t>(random() % 30000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::vector<std::string> now = contents(path);
        for (std::size_t file = 0; file < now.size(); ++file) {
            if (now[file] != bytesA[file] && now[file] != bytesB[file]) {
                std::fprintf(stderr, "kill %d: %s is neither the old nor the new content\n", kill,
                             kFiles[file]);
                return 1;
            }
            news += now[file] == bytesB[file];
        }
        if (!loadsAsOneOf(path, a, b)) {
            std::fprintf(stderr, "kill %d: the files load as neither content\n", kill);
            return 1;
        }
        leftovers += temporaryFiles(path);
        removeInterruptedSaves(path);
        if (temporaryFiles(path) != 0) {
            std::fprintf(stderr, "kill %d: an interrupted save's file stayed\n", kill);
            return 1;
        }
    }
    std::printf(
        "%d kills: %d of the files found new, %d old, %d interrupted saves' files removed\n", kills,
        news, kills * 3 - news, leftovers);
    return 0;
}

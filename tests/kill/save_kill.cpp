// The settings saves killed at random moments: a child saves config.ini and the views and
// channels files in a loop, alternating between two contents, and is killed with SIGKILL after
// a random while. Every file must then be whole, byte for byte one of the two contents (which
// the unit tests load); the interrupted saves' temporary files go at the next start. The
// argument: how many kills (30).

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
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
        platform.useSmallPresets();
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
    for (int kill = 0; kill < kills; ++kill) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (unsigned round = random() % 2;; ++round) {
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
                std::fprintf(stderr, "kill %d: %s is neither content\n", kill, kFiles[file]);
                return 1;
            }
        }
        removeInterruptedSaves(path);
        // Only the three files are left once the interrupted saves' files are gone.
        if (std::distance(std::filesystem::directory_iterator(pathFromUtf8(path)), {}) != 3) {
            std::fprintf(stderr, "kill %d: an interrupted save's file stayed\n", kill);
            return 1;
        }
    }
    std::printf("%d kills, every file whole\n", kills);
    return 0;
}

// The sound engine's threads together: an output thread renders the mix as a device pulls it,
// the feeder thread fills the streams, and two players (the GUI and connection threads) start,
// loop, stop and change sounds and streams meanwhile. ThreadSanitizer reports any state of the
// engine, mixer or feeder that two threads reach unordered; without it the run still fails
// when the mix is not silent once everything was stopped.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sample_stream.h"
#include "audio/sound_engine.h"
#include "fakes/temp_folder.h"

namespace {

using namespace vendrel;

constexpr std::uint32_t kRate = 48000;
constexpr int kStepsPerPlayer = 3000;

// Short tones on any URL, opened on whichever thread plays them.
class ToneOpener final : public StreamOpener {
public:
    std::unique_ptr<StreamSource> openFile(const std::string&) override { return nullptr; }
    std::unique_ptr<StreamSource> openUrl(const std::string&) override {
        return std::make_unique<SampleStreamSource>(testing::sineSample(441.0, 44100, 0.2, 0.5f));
    }
};

// Returns how many of its last sounds and streams started.
int play(SoundEngine& engine, unsigned seed) {
    const char* const kSounds[] = {"beep 0.5 pan -0.5", "beep 0.3 loop slide vol 0 50",
                                   "http://radio/a 0.5 loop", "http://radio/b 0.4 speed 1.5"};
    std::mt19937 random(seed);
    std::vector<SoundPlayer::Handle> handles(1, 0);
    for (int step = 0; step < kStepsPerPlayer; ++step) {
        const SoundPlayer::Handle some = handles[random() % handles.size()];
        const auto choice = random() % 7;
        if (choice < 2) {
            handles.push_back(engine.playSound(kSounds[random() % 4], -1));
        } else if (choice == 2) {
            engine.stop(some);
        } else if (choice == 3) {
            engine.setLooping(some);
            (void)engine.isPlaying(some);
        } else if (choice == 4) {
            engine.setSoundsVolume(static_cast<int>(random() % 100), false, false);
            engine.setStreamsVolume(static_cast<int>(random() % 100), false);
        } else {
            choice == 5 ? engine.stopAllStreams() : engine.stopAllSounds();
        }
        if (handles.size() > 64) {
            handles.erase(handles.begin());
        }
    }
    return static_cast<int>(std::count_if(handles.begin(), handles.end(),
                                          [](SoundPlayer::Handle handle) { return handle != 0; }));
}

} // namespace

int main() {
    testing::TempFolder user;
    std::filesystem::create_directories(user.path() / "sounds");
    std::ofstream(user.path() / "sounds" / "beep.wav", std::ios::binary)
        << testing::wavBytes(testing::sineSample(880.0, 44100, 0.1, 0.5f).data, 1, 44100, 16);
    Mixer mixer(kRate);
    NullOutput output(mixer);
    SoundEngineOptions options;
    options.userFolder = user.str();
    options.extension = ".wav";
    SoundEngine engine(mixer, options);
    engine.addStreamOpener(std::make_unique<ToneOpener>());

    std::atomic<bool> isPulling{true};
    std::thread device([&] {
        std::vector<float> block(480 * 2);
        while (isPulling) {
            output.renderInto(block.data(), 480);
        }
    });
    engine.startStreamFeeder();
    int started[2] = {0, 0};
    std::thread gui([&] { started[0] = play(engine, 1); });
    std::thread connection([&] { started[1] = play(engine, 2); });
    gui.join();
    connection.join();
    engine.stopAllSounds();
    engine.stopAllStreams();
    engine.stopStreamFeeder();
    isPulling = false;
    device.join();

    // Whatever was stopped fades out within a few blocks; after that the mix is silent.
    (void)output.render(0.1);
    const std::vector<float> after = output.render(0.1);
    const bool isSilent =
        std::all_of(after.begin(), after.end(), [](float value) { return value == 0.0f; });
    std::printf("%d and %d of the players' last handles playable, %s after stop\n", started[0],
                started[1], isSilent ? "silent" : "not silent");
    return isSilent && started[0] > 0 && started[1] > 0 ? 0 : 1;
}

// Any sound parameter strings from the server, one per line, played through the real engine
// into the offline output, with loops, stops, volumes and file streams among them. No option
// list outgrows its cap and every rendered value is a finite number: a NaN or an infinity in
// the mix is heard as silence or a bang. Sounds "door" (mono) and "wind" (stereo) are WAV
// files in the user folder; "file://tone.wav" is a stream there.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "app/files.h"
#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sound_engine.h"
#include "audio/sound_params.h"
#include "fuzz_failure.h"
#include "run_folder.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string& folder = []() -> const std::string& {
        const auto root = pathFromUtf8(fuzzing::runFolder("sound"));
        std::filesystem::create_directories(root / "sounds");
        const std::tuple<const char*, unsigned, unsigned> files[] = {
            {"sounds/door.wav", 1, 16}, {"sounds/wind.wav", 2, 8}, {"tone.wav", 2, 24}};
        for (const auto& [name, channels, bits] : files) {
            std::vector<float> values;
            for (const float value : testing::sineSample(440.0, 8000, 0.05, 0.5f).data) {
                values.insert(values.end(), channels, value);
            }
            std::ofstream(root / name, std::ios::binary)
                << testing::wavBytes(values, channels, 8000, bits);
        }
        return fuzzing::runFolder("sound");
    }();
    Mixer mixer(48000);
    SoundEngineOptions options;
    options.userFolder = options.programFolder = folder;
    options.extension = ".wav";
    SoundEngine engine(mixer, options);
    NullOutput output(mixer);
    std::vector<float> block(2 * 512);
    std::vector<SoundPlayer::Handle> handles;
    const std::string_view lines(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= lines.size();) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        std::string line(lines.substr(start, end - start));
        start = end + 1;
        if (line.starts_with("file://")) {
            line.insert(7, folder); // files of this run only
        }
        if (parseSoundParams(line).options.size() > kMaxSoundOptions) {
            fail("more options than the cap", line);
        }
        // A few lines are commands on the sounds already playing instead.
        if (line == "stopall") {
            engine.stopAllSounds();
            engine.stopAllStreams();
        } else if (line.starts_with("loop ") || line.starts_with("stop ")) {
            const std::size_t index = std::strtoul(line.c_str() + 5, nullptr, 10);
            if (index < handles.size()) {
                line[0] == 'l' ? engine.setLooping(handles[index]) : engine.stop(handles[index]);
            }
        } else if (line.starts_with("volume ")) {
            (void)engine.setSoundsVolume(std::atoi(line.c_str() + 7), line[7] == '+', false);
            (void)engine.setStreamsVolume(std::atoi(line.c_str() + 7), line[7] == '+');
        } else {
            handles.push_back(engine.playSound(line, static_cast<int>(handles.size() % 3) - 1));
            (void)engine.isPlaying(handles.back());
        }
        engine.pumpStreams();
        output.renderInto(block.data(), 512);
        if (!std::all_of(block.begin(), block.end(), [](float v) { return std::isfinite(v); })) {
            fail("the mix holds a value that is not a finite number", line);
        }
    }
    return 0;
}

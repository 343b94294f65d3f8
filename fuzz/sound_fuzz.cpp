// Any sound parameter strings from the server, one per line, played through the real engine
// into the offline output, with loops, stops, positions, slides and file streams among them.
// Every option list must stay within its cap, and every rendered value must be a finite
// number: a NaN or an infinity that reaches the mix is heard as silence or a bang on the card.
//
// Sounds "door" (mono) and "wind" (stereo) are WAV files in the user folder; a line starting
// with "file://" names a file under that folder, where "tone.wav" is a stream.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/files.h"
#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sound_engine.h"
#include "audio/sound_params.h"
#include "fuzz_failure.h"
#include "run_folder.h"

using vendrel::fuzzing::fail;

namespace {

// The user folder, with the sounds in it, made once per process.
const std::string& userFolder() {
    static const std::string folder = [] {
        const auto root = vendrel::pathFromUtf8(vendrel::fuzzing::runFolder("sound"));
        std::filesystem::create_directories(root / "sounds");
        const auto write = [&](const char* name, std::uint32_t channels, std::uint32_t bits) {
            const auto tone = vendrel::testing::sineSample(440.0, 8000, 0.05, 0.5f);
            std::vector<float> values;
            for (const float value : tone.data) {
                values.insert(values.end(), channels, value);
            }
            std::ofstream(root / name, std::ios::binary)
                << vendrel::testing::wavBytes(values, channels, 8000, bits);
        };
        write("sounds/door.wav", 1, 16);
        write("sounds/wind.wav", 2, 8);
        write("tone.wav", 2, 24);
        return vendrel::fuzzing::runFolder("sound");
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view lines(reinterpret_cast<const char*>(data), size);
    vendrel::Mixer mixer(48000);
    vendrel::SoundEngineOptions options;
    options.userFolder = userFolder();
    options.programFolder = userFolder();
    options.extension = ".wav";
    vendrel::SoundEngine engine(mixer, options);
    vendrel::NullOutput output(mixer);
    std::vector<float> block(2 * 512);

    std::vector<vendrel::SoundPlayer::Handle> handles;
    std::size_t start = 0;
    while (start <= lines.size()) {
        std::size_t end = lines.find('\n', start);
        end = end == std::string_view::npos ? lines.size() : end;
        std::string line(lines.substr(start, end - start));
        start = end + 1;
        if (line.starts_with("file://")) {
            line.insert(7, userFolder()); // files of this run only
        }
        if (vendrel::parseSoundParams(line).options.size() > vendrel::kMaxSoundOptions) {
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
        for (const float value : block) {
            if (!std::isfinite(value)) {
                fail("the mix holds a value that is not a finite number", line);
            }
        }
    }
    return 0;
}

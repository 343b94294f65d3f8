// Any bytes as a sound file (WAV, Ogg Vorbis) and, line by line, as sound strings played
// through the engine: decoded samples keep their type's limits and full scale, option lists
// their cap, and the mix finite numbers. "door", "wind" and the stream "file://tone.wav" exist.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "app/files.h"
#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sample_stream.h"
#include "audio/sound_engine.h"
#include "audio/sound_params.h"
#include "audio/wav_decoder.h"
#include "fuzz_failure.h"
#include "run_folder.h"
#include "vorbis_decoder.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

// A lower limit keeps each run short; the limit checks are the same code at any size.
constexpr std::size_t kFuzzMaxValues = std::size_t{1} << 22;

bool isFullScale(float value) {
    return std::isfinite(value) && value >= -1.0f && value <= 1.0f;
}

void checkFile(std::string_view bytes) {
    static const WavDecoder wav;
    static const VorbisDecoder vorbis(kFuzzMaxValues);
    const SoundDecoder* const decoders[] = {&wav, &vorbis};
    for (const SoundDecoder* decoder : decoders) {
        std::optional<Sample> sample = decoder->decode(bytes);
        if (!sample) {
            continue;
        }
        if (!decoder->canDecode(bytes) || sample->channels < 1 || sample->channels > 2 ||
            sample->rate < kMinSampleRate || sample->rate > kMaxSampleRate ||
            sample->data.empty() || sample->data.size() % sample->channels != 0 ||
            !std::all_of(sample->data.begin(), sample->data.end(), isFullScale)) {
            fail("a decoded sample breaks the limits of its type or full scale");
        }
        const std::size_t frames = sample->frameCount();
        SampleStreamSource stream(std::move(*sample));
        float out[256 * 2];
        for (const std::uint64_t frame :
             {std::uint64_t{0}, frames / 2, frames, ~std::uint64_t{0}}) {
            const bool isSought = stream.seek(frame);
            const std::size_t got = stream.read(out, 256);
            if (isSought != (frame < frames) || got > 256 ||
                !std::all_of(out, out + got * stream.channels(), isFullScale)) {
                fail("a sample's stream seeks or reads out of its bounds or range");
            }
        }
    }
    // A long Ogg file is played as a stream: read, sought and read again.
    if (auto stream = openVorbisMemoryStream(std::string(bytes))) {
        float out[512 * 2];
        const auto readSome = [&] {
            for (int block = 0; block < 4 && stream->read(out, 512) > 0; ++block) {
            }
        };
        readSome();
        const std::uint64_t length = stream->lengthInFrames().value_or(0);
        for (const std::uint64_t frame : {length / 2, length, std::uint64_t{0}, length + 1}) {
            if (stream->seek(frame)) {
                readSome();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkFile(std::string_view(reinterpret_cast<const char*>(data), size));
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

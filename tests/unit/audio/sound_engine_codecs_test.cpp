// The engine with the real codecs: streams through the SoundTouch stretcher (a tempo changes
// how long a stream plays but not its pitch, a tempo pitch its pitch but not how long it plays)
// and Ogg Vorbis files as samples and file streams. Built only where the codecs library is
// linked; the fakes' tests cover the engine's side everywhere.

#if __has_include("soundtouch_stretcher.h")

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sample_stream.h"
#include "audio/sound_engine.h"
#include "codecs/ogg_test_tools.h"
#include "fakes/fake_streams.h"
#include "fakes/temp_folder.h"
#include "soundtouch_stretcher.h"
#include "vorbis_decoder.h"

namespace vendrel {
namespace {

using testing::channelRms;
using testing::FakeStreamOpener;
using testing::measuredHertz;
using testing::sineSample;
using testing::TempFolder;
using testing::testSoundPath;

constexpr std::uint32_t kRate = 48000;
constexpr double kToneRms = 0.5 / std::numbers::sqrt2;
constexpr const char* kTone = "http://radio/tone"; // 441 Hz for one second, stereo

Sample stereoTone() {
    const Sample mono = sineSample(441.0, 44100, 1.0, 0.5f);
    Sample stereo;
    stereo.rate = mono.rate;
    stereo.channels = 2;
    for (float value : mono.data) {
        stereo.data.push_back(value);
        stereo.data.push_back(value);
    }
    return stereo;
}

std::size_t frameAt(double seconds) {
    return static_cast<std::size_t>(seconds * kRate);
}

// The first and last audible frames (in seconds) of the left channel.
std::pair<double, double> heardSpan(const std::vector<float>& out) {
    const std::size_t frames = out.size() / 2;
    std::size_t first = frames;
    std::size_t last = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        if (std::fabs(out[i * 2]) > 0.02f) {
            first = std::min(first, i);
            last = i + 1;
        }
    }
    return {static_cast<double>(first) / kRate, static_cast<double>(last) / kRate};
}

class SoundEngineCodecsTest : public ::testing::Test {
protected:
    SoundEngineCodecsTest() {
        auto fakeOpener = std::make_unique<FakeStreamOpener>();
        fakeOpener->sources[kTone] = [] {
            return std::make_unique<SampleStreamSource>(stereoTone());
        };
        SoundEngineOptions options;
        options.userFolder = user.str();
        options.streamsVolume = 1.0f;
        engine = std::make_unique<SoundEngine>(mixer, options);
        engine->addDecoder(std::make_unique<VorbisDecoder>());
        engine->addStreamOpener(std::make_unique<VorbisStreamOpener>());
        engine->addStreamOpener(std::move(fakeOpener));
        engine->setTimeStretcherFactory(soundTouchStretcherFactory());
    }

    // Renders as a device would, with a feeder pass before every device block.
    std::vector<float> render(double seconds) {
        const auto frames = static_cast<std::size_t>(seconds * kRate);
        std::vector<float> out(frames * 2);
        for (std::size_t done = 0; done < frames; done += 480) {
            engine->pumpStreams();
            output.renderInto(out.data() + done * 2, std::min<std::size_t>(480, frames - done));
        }
        return out;
    }

    TempFolder user;
    Mixer mixer{kRate};
    NullOutput output{mixer};
    std::unique_ptr<SoundEngine> engine;
};

TEST_F(SoundEngineCodecsTest, TempoSetsTheDurationAndTempoPitchThePitch) {
    struct Case {
        const char* options;
        double seconds; // how long the one-second tone is heard
        double hertz;
    };
    const Case cases[] = {
        {" 1", 1.0, 441.0},
        {" 1 speed 0.5", 1.0 / 1.5, 441.0}, // tempo +50 %: done in two thirds of the time
        {" 1 speed 1", 0.5, 441.0},
        {" 1 speed -0.5", 2.0, 441.0},
        {" 1 pitch 12", 1.0, 882.0},
        {" 1 speed 0.5 -12", 1.0 / 1.5, 220.5}, // a bare number: tempo pitch too
    };
    for (const auto& c : cases) {
        const std::string parameters = kTone + std::string(c.options);
        const auto stream = engine->playSound(parameters, -1);
        ASSERT_NE(stream, 0u) << parameters;
        const auto out = render(2.6);
        const auto [first, last] = heardSpan(out);
        EXPECT_NEAR(last - first, c.seconds, 0.04) << parameters;
        // Measured well inside the sound, away from the stretcher's start and end.
        const auto from = frameAt(first + 0.1);
        const auto to = frameAt(last - 0.1);
        EXPECT_NEAR(measuredHertz(out, kRate, from, to), c.hertz, c.hertz * 0.01) << parameters;
        EXPECT_NEAR(channelRms(out, 0, from, to), kToneRms, kToneRms * 0.15) << parameters;
        EXPECT_FALSE(engine->isPlaying(stream)) << parameters;
    }
}

TEST_F(SoundEngineCodecsTest, OggFilesPlayAsSamplesAndAsFileStreams) {
    // Ten seconds of 440 Hz at amplitude 0.5, mono at 8 kHz.
    const auto sounds = user.path() / "sounds";
    std::filesystem::create_directories(sounds / "music");
    std::filesystem::copy_file(testSoundPath("sine440_mono_8000.ogg"), sounds / "door.ogg");
    std::filesystem::copy_file(testSoundPath("sine440_mono_8000.ogg"), sounds / "music" / "a.ogg");

    ASSERT_NE(engine->playSound("door 0.5 pan -1", -1), 0u);
    auto out = render(0.3);
    EXPECT_NEAR(channelRms(out, 0, 480, out.size() / 2), kToneRms * 0.5, kToneRms * 0.05);
    EXPECT_EQ(channelRms(out, 1, 480, out.size() / 2), 0.0);
    EXPECT_NEAR(measuredHertz(out, kRate, 480, out.size() / 2), 440.0, 4.4);
    engine->stopAllSounds();
    static_cast<void>(render(0.02));

    // From nine seconds in, twice as fast: the last second of the file in half a second, at
    // its own pitch, resampled from 8 kHz.
    const auto stream = engine->playSound("file://music/a.ogg 1 pos 9 speed 1", -1);
    ASSERT_NE(stream, 0u);
    out = render(1.0);
    const auto [first, last] = heardSpan(out);
    EXPECT_NEAR(last - first, 0.5, 0.04);
    EXPECT_NEAR(measuredHertz(out, kRate, frameAt(first + 0.1), frameAt(last - 0.1)), 440.0, 4.4);
    EXPECT_NEAR(channelRms(out, 0, frameAt(first + 0.1), frameAt(last - 0.1)), kToneRms,
                kToneRms * 0.15);
    EXPECT_FALSE(engine->isPlaying(stream));
}

} // namespace
} // namespace vendrel

#endif

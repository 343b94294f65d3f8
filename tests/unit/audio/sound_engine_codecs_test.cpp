// The engine with the real codecs: Ogg Vorbis files as samples and as file streams, the
// latter through the SoundTouch stretcher. Built only where the codecs library is linked; the
// fakes' tests cover the engine's side everywhere.

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
#include "audio/sound_engine.h"
#include "codecs/ogg_test_tools.h"
#include "fakes/temp_folder.h"
#include "soundtouch_stretcher.h"
#include "vorbis_decoder.h"

namespace vendrel {
namespace {

using testing::channelRms;
using testing::measuredHertz;
using testing::testSoundPath;

constexpr std::uint32_t kRate = 48000;
constexpr double kToneRms = 0.5 / std::numbers::sqrt2;

std::size_t frameAt(double seconds) {
    return static_cast<std::size_t>(seconds * kRate);
}

TEST(SoundEngineCodecs, OggFilesPlayAsSamplesAndAsFileStreams) {
    testing::TempFolder user;
    Mixer mixer{kRate};
    NullOutput output{mixer};
    SoundEngineOptions options;
    options.userFolder = user.str();
    options.streamsVolume = 1.0f;
    SoundEngine engine(mixer, options);
    engine.addDecoder(std::make_unique<VorbisDecoder>());
    engine.addStreamOpener(std::make_unique<VorbisStreamOpener>());
    engine.setTimeStretcherFactory(soundTouchStretcherFactory());
    // As a device renders, with a feeder pass before every block.
    const auto render = [&](double seconds) {
        std::vector<float> out(frameAt(seconds) * 2);
        for (std::size_t done = 0; done < out.size() / 2; done += 480) {
            engine.pumpStreams();
            output.renderInto(out.data() + done * 2,
                              std::min<std::size_t>(480, out.size() / 2 - done));
        }
        return out;
    };
    // Ten seconds of 440 Hz at amplitude 0.5, mono at 8 kHz.
    const auto sounds = user.path() / "sounds";
    std::filesystem::create_directories(sounds / "music");
    std::filesystem::copy_file(testSoundPath("sine440_mono_8000.ogg"), sounds / "door.ogg");
    std::filesystem::copy_file(testSoundPath("sine440_mono_8000.ogg"), sounds / "music" / "a.ogg");

    ASSERT_NE(engine.playSound("door 0.5 pan -1", -1), 0u);
    auto out = render(0.3);
    EXPECT_NEAR(channelRms(out, 0, 480, out.size() / 2), kToneRms * 0.5, kToneRms * 0.05);
    EXPECT_EQ(channelRms(out, 1, 480, out.size() / 2), 0.0);
    EXPECT_NEAR(measuredHertz(out, kRate, 480, out.size() / 2), 440.0, 4.4);
    engine.stopAllSounds();
    static_cast<void>(render(0.02));

    // From nine seconds in, twice as fast: the last second of the file in half a second, at
    // its own pitch, resampled from 8 kHz.
    const auto stream = engine.playSound("file://music/a.ogg 1 pos 9 speed 1", -1);
    ASSERT_NE(stream, 0u);
    out = render(1.0);
    std::size_t first = out.size() / 2;
    std::size_t last = 0;
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        if (std::fabs(out[i * 2]) > 0.02f) {
            first = std::min(first, i);
            last = i + 1;
        }
    }
    EXPECT_NEAR(static_cast<double>(last - first) / kRate, 0.5, 0.04);
    const std::size_t from = first + frameAt(0.1);
    const std::size_t to = last - frameAt(0.1);
    EXPECT_NEAR(measuredHertz(out, kRate, from, to), 440.0, 4.4);
    EXPECT_NEAR(channelRms(out, 0, from, to), kToneRms, kToneRms * 0.15);
    EXPECT_FALSE(engine.isPlaying(stream));
}

} // namespace
} // namespace vendrel

#endif

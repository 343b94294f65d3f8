#include "soundtouch_stretcher.h"

#include <gtest/gtest.h>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sound_engine.h"
#include "fakes/fake_streams.h"

namespace vendrel {
namespace {

using testing::channelRms;
using testing::FakeStreamOpener;
using testing::measuredHertz;
using testing::sineSample;

constexpr std::uint32_t kRate = 48000;
constexpr const char* kTone = "http://radio/tone"; // 441 Hz for two seconds

double heardSeconds(const std::vector<float>& out) {
    for (std::size_t i = out.size() / 2; i > 0; --i) {
        if (std::fabs(out[(i - 1) * 2]) > 0.02f) {
            return static_cast<double>(i) / kRate;
        }
    }
    return 0.0;
}

// The real stretcher behind the engine: tempo changes the length and not the pitch, pitch
// changes the pitch and not the length.
TEST(SoundTouchStretcher, TempoAndPitchChangeIndependently) {
    struct Case {
        const char* options;
        double seconds;
        double hertz;
    };
    const Case cases[] = {
        {"", 2.0, 441.0},
        {" speed 0.5", 2.0 / 1.5, 441.0}, // tempo +50 %
        {" speed -0.5", 4.0, 441.0},
        {" pitch 12", 2.0, 882.0},
        {" -12", 2.0, 220.5},
        {" speed 1 pitch 7", 1.0, 441.0 * std::exp2(7.0 / 12.0)},
    };
    for (const auto& c : cases) {
        Mixer mixer(kRate);
        NullOutput output(mixer);
        SoundEngineOptions options;
        options.streamsVolume = 1.0f;
        SoundEngine engine(mixer, options);
        auto opener = std::make_unique<FakeStreamOpener>();
        opener->sources[kTone] = [] {
            return std::make_unique<SampleStreamSource>(sineSample(441.0, 44100, 2.0, 0.5f));
        };
        engine.addStreamOpener(std::move(opener));
        engine.setTimeStretcherFactory(soundTouchStretcherFactory());
        ASSERT_NE(engine.playSound(std::string(kTone) + " 1" + c.options, -1), 0u) << c.options;
        std::vector<float> out(kRate * 5 * 2);
        for (std::size_t done = 0; done < out.size() / 2; done += 480) {
            engine.pumpStreams();
            output.renderInto(out.data() + done * 2, 480);
        }
        EXPECT_NEAR(heardSeconds(out), c.seconds, c.seconds * 0.04) << c.options;
        const auto middle = static_cast<std::size_t>(c.seconds * kRate / 2);
        EXPECT_NEAR(measuredHertz(out, kRate, middle - kRate / 10, middle + kRate / 10), c.hertz,
                    c.hertz * 0.015)
            << c.options;
        // The level stays the tone's own (amplitude 0.5).
        EXPECT_NEAR(channelRms(out, 0, middle - kRate / 10, middle + kRate / 10),
                    0.5 / std::numbers::sqrt2, 0.05)
            << c.options;
    }
}

TEST(SoundTouchStretcher, GivesBackWhatItHoldsWhenFlushedAndNothingAfterAClear) {
    const Sample tone = sineSample(441.0, 44100, 1.0, 0.5f);
    struct Case {
        bool isCleared;
        double tempo;
    };
    for (const Case c : {Case{false, 1.0}, Case{false, 2.0}, Case{true, 1.0}}) {
        auto stretcher = makeSoundTouchStretcher();
        stretcher->configure(1, 44100);
        stretcher->setTempo(c.tempo);
        stretcher->put(tone.data.data(), tone.frameCount());
        std::vector<float> out(1024);
        const std::size_t before = stretcher->receive(out.data(), out.size());
        if (c.isCleared) {
            stretcher->clear();
        } else {
            stretcher->flush();
        }
        std::size_t after = 0;
        for (std::size_t got = 1; got > 0; after += got) {
            got = stretcher->receive(out.data(), out.size());
        }
        // Flushed: the whole second, stretched, comes out; cleared: nothing more does.
        const double expected = c.isCleared ? 0.0 : 44100.0 / c.tempo;
        EXPECT_NEAR(static_cast<double>(c.isCleared ? after : before + after), expected,
                    44100.0 * 0.1)
            << c.tempo;
    }
}

} // namespace
} // namespace vendrel

#include "soundtouch_stretcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/audio_test_tools.h"

// The engine's use of a stretcher is tested with a fake; Ogg files and file streams through the
// real codecs are heard in the end-to-end tests. Here: what the engine relies on SoundTouch for.
namespace vendrel {
namespace {

TEST(SoundTouchStretcher, ChangesTempoAndPitchApartAndGivesBackWhatItHolds) {
    std::vector<float> tone; // one second of 441 Hz, stereo
    for (const float value : testing::sineSample(441.0, 44100, 1.0, 0.5f).data) {
        tone.insert(tone.end(), {value, value});
    }
    struct Case {
        double tempo;
        double semitones;
        bool isCleared; // after the first frames came out, instead of a flush at the end
    };
    for (const Case c : {Case{2.0, 7.0, false}, Case{0.5, -12.0, false}, Case{1.0, 0.0, true}}) {
        SCOPED_TRACE(c.tempo);
        auto stretcher = makeSoundTouchStretcher();
        stretcher->configure(2, 44100);
        stretcher->setTempo(c.tempo);
        stretcher->setPitchSemitones(c.semitones);
        stretcher->put(tone.data(), tone.size() / 2);
        std::vector<float> out(44100 * 2 * 3);
        const std::size_t first = stretcher->receive(out.data(), 1024);
        if (c.isCleared) {
            stretcher->clear();
        } else {
            stretcher->flush();
        }
        std::size_t frames = first;
        for (std::size_t got = 1; got > 0; frames += got) {
            got = stretcher->receive(out.data() + frames * 2, out.size() / 2 - frames);
        }
        if (c.isCleared) {
            EXPECT_EQ(frames, first);
            continue;
        }
        // The whole second comes out, stretched, at the pitch asked for and at its own level.
        EXPECT_NEAR(static_cast<double>(frames), 44100.0 / c.tempo, 44100.0 * 0.05);
        const std::size_t from = frames / 4;
        const std::size_t to = frames * 3 / 4;
        const double hertz = 441.0 * std::exp2(c.semitones / 12.0);
        EXPECT_NEAR(testing::measuredHertz(out, 44100, from, to), hertz, hertz * 0.015);
        EXPECT_NEAR(testing::channelRms(out, 0, from, to), 0.5 / std::numbers::sqrt2, 0.05);
    }
}

} // namespace
} // namespace vendrel

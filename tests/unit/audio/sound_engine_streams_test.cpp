#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "audio/sound_engine.h"
#include "fakes/fake_streams.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

using testing::channelPeak;
using testing::channelRms;
using testing::FakeStreamOpener;
using testing::GarbageSource;
using testing::largestStep;
using testing::measuredHertz;
using testing::ResamplingStretcher;
using testing::sineSample;
using testing::TempFolder;
using testing::wavBytes;

constexpr std::uint32_t kRate = 48000;
constexpr double kToneRms = 0.5 / std::numbers::sqrt2; // the tones below have amplitude 0.5
constexpr const char* kTone = "http://radio/tone";     // 441 Hz for one second
constexpr const char* kSteps = "http://radio/steps";   // 441 Hz, then 882 Hz from 0.5 s

Sample steps() {
    Sample sample = sineSample(441.0, 44100, 0.5, 0.5f);
    const Sample high = sineSample(882.0, 44100, 0.5, 0.5f);
    sample.data.insert(sample.data.end(), high.data.begin(), high.data.end());
    return sample;
}

std::size_t frameAt(double seconds) {
    return static_cast<std::size_t>(seconds * kRate);
}

// Seconds until the last audible frame.
double heardSeconds(const std::vector<float>& out) {
    for (std::size_t i = out.size() / 2; i > 0; --i) {
        if (std::fabs(out[(i - 1) * 2]) > 0.01f) {
            return static_cast<double>(i) / kRate;
        }
    }
    return 0.0;
}

class SoundEngineStreamsTest : public ::testing::Test {
protected:
    SoundEngineStreamsTest() {
        auto fakeOpener = std::make_unique<FakeStreamOpener>();
        opener = fakeOpener.get();
        opener->sources[kTone] = [] {
            return std::make_unique<SampleStreamSource>(sineSample(441.0, 44100, 1.0, 0.5f));
        };
        opener->sources[kSteps] = [] {
            return std::make_unique<SampleStreamSource>(steps());
        };
        SoundEngineOptions options;
        options.userFolder = user.str();
        options.extension = ".wav";
        options.streamsVolume = 0.5f;
        engine = std::make_unique<SoundEngine>(mixer, options);
        engine->addStreamOpener(std::move(fakeOpener));
        engine->setTimeStretcherFactory([] { return std::make_unique<ResamplingStretcher>(); });
    }

    // Renders as a device would, with a feeder pass before every device block.
    std::vector<float> render(double seconds) {
        const std::size_t frames = frameAt(seconds);
        std::vector<float> out(frames * 2);
        for (std::size_t done = 0; done < frames; done += 480) {
            engine->pumpStreams();
            output.renderInto(out.data() + done * 2, std::min<std::size_t>(480, frames - done));
        }
        return out;
    }

    double hertzOver(double seconds) {
        const auto out = render(seconds);
        return measuredHertz(out, kRate, 480, out.size() / 2);
    }

    TempFolder user;
    Mixer mixer{kRate};
    NullOutput output{mixer};
    FakeStreamOpener* opener = nullptr;
    std::unique_ptr<SoundEngine> engine;
};

TEST_F(SoundEngineStreamsTest, PlaysAtTheRequestedLevelPanAndFrequency) {
    struct Case {
        std::string parameters;
        double left; // level relative to the source's own
        double right;
        double hertz;
    };
    const std::string tone = kTone;
    const Case cases[] = {
        {tone, 0.5, 0.5, 441.0}, // streamsVolume 0.5
        {tone + " 0.5 pan -1", 0.25, 0.0, 441.0},
        {tone + " 2", 1.0, 1.0, 441.0}, // above 1: the stream's own level
        {tone + " 1 freq 12", 0.5, 0.5, 882.0},
        {tone + " 1 absfreq -12", 0.5, 0.5, 220.5},
        {tone + " 1 speed 1", 0.5, 0.5, 882.0}, // tempo +100 % through the stretcher
        {tone + " 1 speed -0.75", 0.5, 0.5, 110.25},
        {tone + " 1 12", 0.5, 0.5, 882.0}, // a bare number is tempo pitch for a stream
        {tone + " 1 pitch -12", 0.5, 0.5, 220.5},
    };
    for (const auto& c : cases) {
        const auto stream = engine->playSound(c.parameters, -1);
        ASSERT_NE(stream, 0u) << c.parameters;
        const auto out = render(0.3);
        EXPECT_NEAR(channelRms(out, 0, 480, out.size() / 2), kToneRms * c.left, 0.005)
            << c.parameters;
        EXPECT_NEAR(channelRms(out, 1, 480, out.size() / 2), kToneRms * c.right, 0.005)
            << c.parameters;
        EXPECT_NEAR(measuredHertz(out, kRate, 480, out.size() / 2), c.hertz, c.hertz * 0.01)
            << c.parameters;
        // It fades in: no step larger than the tone's own steepest.
        EXPECT_LE(largestStep(out, 0), 1.5 * 0.5 * c.left * 2 * std::numbers::pi * c.hertz / kRate)
            << c.parameters;
        engine->stopAllStreams();
        static_cast<void>(render(0.02));
    }
}

TEST_F(SoundEngineStreamsTest, TempoChangesHowLongTheStreamPlays) {
    struct Case {
        std::string options;
        double seconds;
    };
    const Case cases[] = {
        {"", 1.0},
        {" speed 0.5", 1.0 / 1.5},
        {" speed -0.5", 2.0},
        // An immediate tempo slide to +100 %: it reaches the feeder through the mixer, after
        // the feeder's lead (a tenth of a second) was read at the old tempo.
        {" slide speed 0 100", 0.1 + 0.9 / 2},
        {" speed 1 speed 0", 1.0}, // the later option wins; neutral again
    };
    for (const auto& c : cases) {
        const auto stream = engine->playSound(kTone + c.options, -1);
        ASSERT_NE(stream, 0u) << c.options;
        const auto out = render(2.5);
        EXPECT_NEAR(heardSeconds(out), c.seconds, 0.03) << c.options;
        EXPECT_FALSE(engine->isPlaying(stream)) << c.options;
        EXPECT_FALSE(engine->isSoundLoaded(kTone)) << c.options;
    }
}

TEST_F(SoundEngineStreamsTest, TempoSlidesOnTheMixClock) {
    // "speed" slides take tenths of seconds: 5 means half a second, to +100 %.
    ASSERT_NE(engine->playSound(std::string(kTone) + " 1 loop slide speed 5 100", -1), 0u);
    const auto out = render(0.8);
    const double middle = measuredHertz(out, kRate, frameAt(0.25), frameAt(0.3));
    EXPECT_GT(middle, 500.0);
    EXPECT_LT(middle, 800.0);
    EXPECT_NEAR(measuredHertz(out, kRate, frameAt(0.7), frameAt(0.8)), 882.0, 9.0);
}

TEST_F(SoundEngineStreamsTest, ARunningStreamIsReusedAndAnEndedOneRecreated) {
    const std::string steps = kSteps;
    const auto first = engine->playSound(steps + " 0.5", -1);
    ASSERT_NE(first, 0u);
    static_cast<void>(render(0.6));
    // Still playing: the same stream goes on where it is (882 Hz), at the new level.
    EXPECT_EQ(engine->playSound(steps + " 1", -1), first);
    auto out = render(0.2);
    EXPECT_NEAR(measuredHertz(out, kRate, 480, out.size() / 2), 882.0, 9.0);
    EXPECT_NEAR(channelRms(out, 0, 480, out.size() / 2), kToneRms * 0.5, 0.005);
    EXPECT_TRUE(engine->isSoundLoaded(steps));
    EXPECT_EQ(engine->loadSound(steps, true), first);

    static_cast<void>(render(0.5)); // it ends
    EXPECT_FALSE(engine->isSoundLoaded(steps));
    const auto second = engine->playSound(steps + " 1", -1);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_NEAR(hertzOver(0.2), 441.0, 5.0); // from its start

    // Stopped by hand: stale at once, made anew by the next request.
    engine->stop(second);
    EXPECT_FALSE(engine->isSoundLoaded(steps));
    const auto third = engine->playSound(steps + " 1", -1);
    EXPECT_NE(third, second);
    EXPECT_EQ(std::count(opener->asked.begin(), opener->asked.end(), steps), 3);
}

TEST_F(SoundEngineStreamsTest, NegativeVolumeAdjustsOnlyARunningStream) {
    const std::string fade = std::string(kTone) + " -0.5 slide vol 2";
    EXPECT_EQ(engine->playSound(fade, -1), 0u);
    EXPECT_TRUE(opener->asked.empty()); // nothing was opened
    EXPECT_EQ(channelPeak(render(0.1), 0, 0, 4800), 0.0);
    EXPECT_EQ(engine->playSound(std::string(kTone) + " 0", -1), 0u);
    EXPECT_TRUE(opener->asked.empty());

    const auto stream = engine->playSound(std::string(kTone) + " 1 loop", -1);
    static_cast<void>(render(0.1));
    EXPECT_EQ(engine->playSound(fade, -1), stream);
    const auto out = render(2.3);
    // Set to 0.5 × the master's 0.5 first, then down to nothing over two seconds and stopped.
    EXPECT_NEAR(channelRms(out, 0, frameAt(0.45), frameAt(0.55)), kToneRms * 0.1875, 0.005);
    EXPECT_NEAR(channelRms(out, 0, frameAt(1.45), frameAt(1.55)), kToneRms * 0.0625, 0.005);
    EXPECT_EQ(channelPeak(out, 0, frameAt(2.05), out.size() / 2), 0.0);
    EXPECT_FALSE(engine->isPlaying(stream));
    EXPECT_FALSE(engine->isSoundLoaded(kTone));
}

TEST_F(SoundEngineStreamsTest, VolumeZeroStopsAfterApplyingOptions) {
    const auto stream = engine->playSound(std::string(kTone) + " 1 loop", -1);
    static_cast<void>(render(0.1));
    EXPECT_EQ(engine->playSound(std::string(kTone) + " 0 pan -1", -1), stream);
    EXPECT_FALSE(engine->isSoundLoaded(kTone));
    const auto out = render(0.1);
    EXPECT_EQ(channelPeak(out, 0, 480, out.size() / 2), 0.0);
    EXPECT_FALSE(engine->isPlaying(stream));
}

TEST_F(SoundEngineStreamsTest, MasterVolumeScalesRunningStreams) {
    const auto stream = engine->playSound(std::string(kTone) + " 0.8 loop", -1);
    ASSERT_NE(stream, 0u);
    EXPECT_NEAR(channelRms(render(0.2), 0, 480, frameAt(0.2)), kToneRms * 0.4, 0.005);
    EXPECT_EQ(engine->setStreamsVolume(25, false), 25);
    // 0.4 × 0.25 / 0.5: the stream keeps its share of the master.
    EXPECT_NEAR(channelRms(render(0.2), 0, 480, frameAt(0.2)), kToneRms * 0.2, 0.005);
    EXPECT_EQ(engine->setStreamsVolume(25, true), 50);
    EXPECT_NEAR(channelRms(render(0.2), 0, 480, frameAt(0.2)), kToneRms * 0.4, 0.005);
}

TEST_F(SoundEngineStreamsTest, StopAllStreamsStopsAndForgetsThem) {
    const auto tone = engine->playSound(std::string(kTone) + " 1 loop", -1);
    const auto steps = engine->playSound(std::string(kSteps) + " 1 loop", -1);
    static_cast<void>(render(0.1));
    engine->stopAllStreams();
    const auto out = render(0.1);
    EXPECT_EQ(channelPeak(out, 0, 480, out.size() / 2), 0.0);
    EXPECT_FALSE(engine->isPlaying(tone));
    EXPECT_FALSE(engine->isPlaying(steps));
    EXPECT_FALSE(engine->isSoundLoaded(kTone));
    EXPECT_EQ(engine->playSound(std::string(kTone) + " -1", -1), 0u);
}

TEST_F(SoundEngineStreamsTest, LoopsAndMovesInTheSource) {
    struct Case {
        std::string options;
        double from; // seconds into the render
        double hertz;
        bool isPlayingAtTheEnd; // of 1.05 s
    };
    const Case cases[] = {
        {"", 0.1, 441.0, false},
        {" loop", 0.1, 441.0, true},
        {" pos 0.6", 0.05, 882.0, false},
        {" pos 5", 0.05, 441.0, false},  // beyond the end: ignored
        {" pos -1", 0.05, 441.0, false}, // before the start: ignored
        {" seek 0.55", 0.05, 882.0, false},
        {" pos 0.3 seek 0.3", 0.05, 882.0, false},
        {" pos 0.8 seek 0.5", 0.05, 882.0, false}, // the seek beyond the end is ignored
        {" loop pos 0.9", 0.2, 441.0, true},       // round to the start again
    };
    for (const auto& c : cases) {
        const auto stream = engine->playSound(kSteps + c.options, -1);
        ASSERT_NE(stream, 0u) << c.options;
        const auto out = render(1.05);
        EXPECT_NEAR(measuredHertz(out, kRate, frameAt(c.from), frameAt(c.from + 0.05)), c.hertz,
                    c.hertz * 0.02)
            << c.options;
        EXPECT_EQ(engine->isPlaying(stream), c.isPlayingAtTheEnd) << c.options;
        engine->stopAllStreams();
        static_cast<void>(render(0.6));
    }
}

TEST_F(SoundEngineStreamsTest, HandlesLoopAndStopLikeSampleVoices) {
    // The connecting sound's way: play, then loop and later stop through the handle.
    const auto stream = engine->playSound(std::string(kTone) + " 1", -1);
    engine->setLooping(stream);
    static_cast<void>(render(1.5));
    EXPECT_TRUE(engine->isPlaying(stream));
    engine->stop(stream);
    const auto out = render(0.1);
    EXPECT_EQ(channelPeak(out, 0, 480, out.size() / 2), 0.0);
    EXPECT_FALSE(engine->isPlaying(stream));

    // Set to loop only once its source was read to the end: the voice still plays, so it
    // goes round again.
    const auto late = engine->playSound(std::string(kTone) + " 1", -1);
    static_cast<void>(render(0.95));
    engine->setLooping(late);
    const auto after = render(0.5);
    EXPECT_TRUE(engine->isPlaying(late));
    EXPECT_NEAR(channelRms(after, 0, frameAt(0.3), frameAt(0.5)), kToneRms * 0.5, 0.005);
}

TEST_F(SoundEngineStreamsTest, SeekMovesFromWhereTheStreamIs) {
    const auto stream = engine->playSound(std::string(kSteps) + " 1", -1);
    static_cast<void>(render(0.1));
    EXPECT_EQ(engine->playSound(std::string(kSteps) + " -1 seek 0.5", -1), stream);
    const auto out = render(0.15);
    EXPECT_NEAR(measuredHertz(out, kRate, frameAt(0.03), frameAt(0.12)), 882.0, 9.0);
    // 0.1 s + 0.5 s + 0.15 s of the one-second source: it ends a quarter second later.
    const auto rest = render(0.4);
    EXPECT_NEAR(heardSeconds(rest), 0.25, 0.04);
}

TEST_F(SoundEngineStreamsTest, ChannelFlagsFollowTheForeground) {
    const std::vector<std::uint32_t> table = {0, 8, 16, 24};
    bool isForeground = true;
    engine->setChannelRule(
        [&table](int channel) -> std::optional<std::uint32_t> {
            if (channel < 0 || static_cast<std::size_t>(channel) >= table.size()) {
                return std::nullopt;
            }
            return table[static_cast<std::size_t>(channel)];
        },
        [&isForeground] { return isForeground; });
    struct Case {
        int channel;
        bool isForeground;
        bool plays;
    };
    const Case cases[] = {
        {0, true, false},  {0, false, false}, {1, true, true},   {1, false, false},
        {2, true, false},  {2, false, true},  {3, true, true},   {3, false, true},
        {-1, false, true}, {4, false, true},  {400, true, true}, // beyond the table: no channel
    };
    for (const auto& c : cases) {
        isForeground = c.isForeground;
        const auto stream = engine->playSound(std::string(kTone) + " 1", c.channel);
        EXPECT_EQ(stream != 0, c.plays) << c.channel << " " << c.isForeground;
        const auto out = render(0.05);
        EXPECT_EQ(channelPeak(out, 0, 0, out.size() / 2) > 0.1, c.plays)
            << c.channel << " " << c.isForeground;
        engine->stopAllStreams();
        static_cast<void>(render(0.02));
    }
    // A stop is never held back by the rule.
    isForeground = true;
    const auto stream = engine->playSound(std::string(kTone) + " 1 loop", -1);
    static_cast<void>(render(0.05));
    EXPECT_EQ(engine->playSound(std::string(kTone) + " 0", 0), stream);
    static_cast<void>(render(0.02));
    EXPECT_FALSE(engine->isPlaying(stream));
}

TEST_F(SoundEngineStreamsTest, FailedOpensAreRetriedAndFileStreamsOpenInTheUsersFolder) {
    opener->failsLeft = 1;
    EXPECT_EQ(engine->playSound(std::string(kTone) + " 1", -1), 0u);
    EXPECT_FALSE(engine->isSoundLoaded(kTone));
    EXPECT_NE(engine->playSound(std::string(kTone) + " 1", -1), 0u);
    EXPECT_EQ(std::count(opener->asked.begin(), opener->asked.end(), kTone), 2);

    EXPECT_EQ(engine->playSound("file://music\\a/b.ogg 1", -1), 0u);
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(opener->asked.back(),
              user.str() + "sounds" + sep + "music" + sep + "a" + sep + "b.ogg");
    EXPECT_EQ(engine->playSound("ftp://nowhere/x 1", -1), 0u);
    EXPECT_EQ(engine->playSound("radio/tone 1", -1), 0u); // no scheme: a sample, not found
    EXPECT_EQ(opener->asked.back(), "ftp://nowhere/x");

    // The engine's own WAV file streams need no opener.
    std::filesystem::create_directories(user.path() / "sounds" / "music");
    std::ofstream(user.path() / "sounds" / "music" / "song.wav", std::ios::binary)
        << wavBytes(sineSample(441.0, 22050, 1.0, 0.5f).data, 1, 22050, 16);
    EXPECT_NE(engine->playSound("file://music/song.wav 1", -1), 0u);
    EXPECT_NEAR(hertzOver(0.2), 441.0, 5.0);
}

TEST_F(SoundEngineStreamsTest, BrokenSourcesEndCleanly) {
    opener->sources["http://bad/garbage"] = [] {
        return std::make_unique<GarbageSource>(4410);
    };
    opener->sources["http://bad/empty"] = [] {
        return std::make_unique<GarbageSource>(0);
    };
    opener->sources["http://bad/channels"] = [] {
        Sample sample = sineSample(441.0, 44100, 0.1, 0.5f);
        sample.channels = 3;
        return std::make_unique<SampleStreamSource>(sample);
    };
    const auto garbage = engine->playSound("http://bad/garbage 1 loop speed 0.2", -1);
    const auto empty = engine->playSound("http://bad/empty 1 loop", -1);
    EXPECT_NE(garbage, 0u);
    EXPECT_NE(empty, 0u);
    EXPECT_EQ(engine->playSound("http://bad/channels 1", -1), 0u);
    const auto out = render(0.5);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::fabs(v) <= 1.0f; }));
    EXPECT_FALSE(engine->isPlaying(garbage)); // ended early: its source cannot loop
    EXPECT_FALSE(engine->isPlaying(empty));
}

TEST_F(SoundEngineStreamsTest, DisabledStreamsNeverOpen) {
    SoundEngineOptions options;
    options.areStreamsEnabled = false;
    SoundEngine silent(mixer, options);
    auto fakeOpener = std::make_unique<FakeStreamOpener>();
    FakeStreamOpener* asked = fakeOpener.get();
    silent.addStreamOpener(std::move(fakeOpener));
    EXPECT_EQ(silent.playSound(std::string(kTone) + " 1", -1), 0u);
    EXPECT_EQ(silent.loadSound(kTone, false), 0u);
    EXPECT_TRUE(asked->asked.empty());
}

TEST_F(SoundEngineStreamsTest, TheFeederThreadKeepsStreamsPlaying) {
    engine->startStreamFeeder();
    const auto stream = engine->playSound(std::string(kTone) + " 1 loop", -1);
    ASSERT_NE(stream, 0u);
    // Rendered as fast as this thread can, the mix outruns the feeder at first (silence); it
    // is heard once the feeder thread has caught up.
    std::vector<float> block(480 * 2);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool isHeard = false;
    while (!isHeard && std::chrono::steady_clock::now() < deadline) {
        output.renderInto(block.data(), 480);
        isHeard = channelPeak(block, 0, 0, 480) > 0.2;
        std::this_thread::yield();
    }
    EXPECT_TRUE(isHeard);
    engine->stopAllStreams();
    engine->stopStreamFeeder();
    static_cast<void>(output.render(0.02));
    EXPECT_FALSE(engine->isPlaying(stream));
}

} // namespace
} // namespace vendrel

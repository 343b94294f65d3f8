#include "audio/sound_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "fakes/fake_streams.h"
#include "fakes/temp_folder.h"

// Streams are fed by hand here, block by block, as the feeder thread would; one test runs the
// thread itself.
namespace vendrel {
namespace {

using testing::channelRms;
using testing::FakeStreamOpener;
using testing::measuredHertz;
using testing::sineSample;

constexpr std::uint32_t kRate = 48000;
constexpr double kToneRms = 0.5 / std::numbers::sqrt2; // every tone here has amplitude 0.5
const std::string kTone = "http://radio/tone";         // 441 Hz for one second
const std::string kSteps = "http://radio/steps";       // 441 Hz, then 882 Hz from 0.5 s

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

// Samples are WAV files of one second of 441 Hz: "door" in the user's folder, "menubounds" in
// the program's. Streams come from a fake opener; sounds' master volume is 1, streams' 0.5.
class SoundEngineTest : public ::testing::Test {
protected:
    SoundEngineTest() {
        writeTone(user, "door", 0.5f);
        writeTone(program, "menubounds", 0.5f);
        start();
    }

    static void writeTone(const testing::TempFolder& folder, const std::string& name,
                          float amplitude) {
        const auto path = folder.path() / "sounds" / (name + ".wav");
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            << testing::wavBytes(sineSample(441.0, 44100, 1.0, amplitude).data, 1, 44100, 16);
    }

    void start(float soundsVolume = 1.0f) {
        auto fakeOpener = std::make_unique<FakeStreamOpener>();
        opener = fakeOpener.get();
        opener->sources[kTone] = [] {
            return std::make_unique<SampleStreamSource>(sineSample(441.0, 44100, 1.0, 0.5f));
        };
        opener->sources[kSteps] = [] {
            Sample sample = sineSample(441.0, 44100, 0.5, 0.5f);
            const Sample high = sineSample(882.0, 44100, 0.5, 0.5f);
            sample.data.insert(sample.data.end(), high.data.begin(), high.data.end());
            return std::make_unique<SampleStreamSource>(sample);
        };
        SoundEngineOptions options;
        options.userFolder = user.str();
        options.programFolder = program.str();
        options.extension = ".wav";
        options.soundsVolume = soundsVolume;
        options.streamsVolume = 0.5f;
        engine = std::make_unique<SoundEngine>(mixer, options);
        engine->addStreamOpener(std::move(fakeOpener));
        engine->setTimeStretcherFactory(
            [] { return std::make_unique<testing::ResamplingStretcher>(); });
    }

    // Renders as a device would, with a feeder pass before every device block.
    std::vector<float> render(double seconds) {
        std::vector<float> out(frameAt(seconds) * 2);
        for (std::size_t done = 0; done < out.size() / 2; done += 480) {
            engine->pumpStreams();
            output.renderInto(out.data() + done * 2,
                              std::min<std::size_t>(480, out.size() / 2 - done));
        }
        return out;
    }

    // The left channel's level and frequency over the next seconds, past the first block.
    double heardLevel(double seconds) {
        return channelRms(render(seconds), 0, 480, frameAt(seconds));
    }
    double heardHertz(double seconds) {
        return measuredHertz(render(seconds), kRate, 480, frameAt(seconds));
    }

    void stopEverything() {
        engine->stopAllSounds();
        engine->stopAllStreams();
        static_cast<void>(render(0.05));
    }

    testing::TempFolder user;
    testing::TempFolder program;
    Mixer mixer{kRate};
    NullOutput output{mixer};
    FakeStreamOpener* opener = nullptr;
    std::unique_ptr<SoundEngine> engine;
};

TEST_F(SoundEngineTest, PlaysAtTheRequestedLevelPanAndFrequency) {
    struct Case {
        const char* parameters;
        float soundsVolume;
        double left; // level relative to the tone's own
        double right;
        double hertz;
    };
    const Case cases[] = {
        {"door", 0.5f, 0.5, 0.5, 441.0},
        {"door 0.5 pan -1", 1.0f, 0.5, 0.0, 441.0},
        {"door 1 pan -0.5", 1.0f, 1.0, 0.5, 441.0}, // a linear balance, not a constant-power pan
        {"door 1.5", 0.5f, 1.0, 1.0, 441.0},    // above 1: the sample's own level, not the master's
        {"door -0.5", 0.5f, 0.25, 0.25, 441.0}, // negative: as its size
        {"door 1 loop pos 0.9", 1.0f, 1.0, 1.0, 441.0}, // round to the start again
        {"door 0.8 freq 7 freq 5", 1.0f, 0.8, 0.8, 882.0},
        {"door 0.8 absfreq 7 12", 1.0f, 0.8, 0.8, 882.0}, // a bare number is absolute, as absfreq
        {"door 0.8 freq -12 slide freq 0 12", 1.0f, 0.8, 0.8, 441.0},
        {"http://radio/tone", 1.0f, 0.5, 0.5, 441.0},
        {"http://radio/tone 0.5 pan -1", 1.0f, 0.25, 0.0, 441.0},
        {"http://radio/tone 2", 1.0f, 1.0, 1.0, 441.0}, // above 1: the stream's own level
        {"http://radio/tone 1 freq 12", 1.0f, 0.5, 0.5, 882.0},
        {"http://radio/tone 1 speed -0.75", 1.0f, 0.5, 0.5, 110.25}, // the fake stretcher resamples
        {"http://radio/tone 1 12", 1.0f, 0.5, 0.5, 882.0}, // a bare number: a stream's pitch
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameters);
        start(c.soundsVolume);
        ASSERT_NE(engine->playSound(c.parameters, -1), 0u);
        const auto out = render(0.3);
        EXPECT_NEAR(channelRms(out, 0, 480, frameAt(0.3)), kToneRms * c.left, 0.005);
        EXPECT_NEAR(channelRms(out, 1, 480, frameAt(0.3)), kToneRms * c.right, 0.005);
        EXPECT_NEAR(measuredHertz(out, kRate, 480, frameAt(0.3)), c.hertz, c.hertz * 0.01);
        // It fades in: no step larger than the tone's own steepest.
        EXPECT_LE(testing::largestStep(out, 0),
                  1.5 * 0.5 * c.left * 2 * std::numbers::pi * c.hertz / kRate);
        stopEverything();
    }
}

TEST_F(SoundEngineTest, FadesOutOverTwoSecondsThenStops) {
    const auto voice = engine->playSound("door 1 loop slide vol 2", -1);
    const auto out = render(2.5);
    EXPECT_NEAR(channelRms(out, 0, kRate / 10, kRate / 5), kToneRms * 0.925, 0.02);
    EXPECT_NEAR(channelRms(out, 0, kRate, kRate * 11 / 10), kToneRms * 0.475, 0.02);
    EXPECT_NEAR(channelRms(out, 0, kRate * 18 / 10, kRate * 19 / 10), kToneRms * 0.075, 0.02);
    EXPECT_EQ(channelRms(out, 0, kRate * 2 + 480, kRate * 5 / 2), 0.0);
    EXPECT_FALSE(engine->isPlaying(voice));
}

TEST_F(SoundEngineTest, VolumeZeroAndStopAllStopOnlyWhatTheyName) {
    const auto doors = {engine->playSound("door 0.2 loop", -1), engine->playSound("door 0.2", -1)};
    const auto menu = engine->playSound("menubounds 0.2 loop", -1);
    const auto tone = engine->playSound(kTone + " 1 loop", -1);
    const auto steps = engine->playSound(kSteps + " 1 loop", -1);
    static_cast<void>(render(0.1));
    // Every instance of the sample; the stream after its other options.
    EXPECT_EQ(engine->playSound("door 0", -1), 0u);
    EXPECT_EQ(engine->playSound(kTone + " 0 pan -1", -1), tone);
    EXPECT_FALSE(engine->isSoundLoaded(kTone));
    static_cast<void>(render(0.05));
    for (const auto voice : doors) {
        EXPECT_FALSE(engine->isPlaying(voice));
    }
    EXPECT_FALSE(engine->isPlaying(tone));
    EXPECT_TRUE(engine->isPlaying(menu));
    engine->stopAllStreams();
    static_cast<void>(render(0.05));
    EXPECT_FALSE(engine->isPlaying(steps));
    EXPECT_FALSE(engine->isSoundLoaded(kSteps));
    EXPECT_TRUE(engine->isPlaying(menu));
    engine->stopAllSounds();
    EXPECT_EQ(heardLevel(0.1), 0.0);
}

// Channel 1 plays in the foreground, 2 in the background; others are beyond the table.
TEST_F(SoundEngineTest, TheChannelRuleHoldsBackPlaysButNeverAStop) {
    bool isForeground = true;
    engine->setChannelRule(
        [](int channel) -> std::optional<std::uint32_t> {
            return channel == 1 || channel == 2 ? std::optional(channel * 8u) : std::nullopt;
        },
        [&isForeground] { return isForeground; });
    const auto tone = engine->playSound(kTone + " 1 loop", 1);
    EXPECT_NE(tone, 0u);
    EXPECT_EQ(engine->playSound("door", 2), 0u);
    isForeground = false;
    EXPECT_EQ(engine->playSound(kTone + " 1", 1), 0u);
    EXPECT_EQ(engine->playSound("door", 1), 0u);
    EXPECT_NE(engine->playSound("door", 2), 0u);
    EXPECT_NE(engine->playSound("door", 3), 0u);
    EXPECT_NE(engine->playSound("door", -1), 0u); // no channel
    EXPECT_EQ(engine->playSound("door 0", 1), 0u);
    EXPECT_EQ(engine->playSound(kTone + " 0", 1), tone);
    static_cast<void>(render(0.05));
    EXPECT_EQ(heardLevel(0.1), 0.0);
}

TEST_F(SoundEngineTest, FindsSoundsWhereTheyBelongAndRetriesWhatFailed) {
    writeTone(program, "door", 0.1f); // the user's louder door wins
    writeTone(program, "only", 0.1f);
    start();
    ASSERT_NE(engine->playSound("door", -1), 0u);
    EXPECT_NEAR(heardLevel(0.1), kToneRms, 0.004);
    stopEverything();
    ASSERT_NE(engine->playSound("only", -1), 0u);
    EXPECT_NEAR(heardLevel(0.1), kToneRms / 5, 0.004);
    stopEverything();
    // File streams open in the user's sounds folder; other schemes go to the openers as given.
    EXPECT_EQ(engine->playSound("file://music\\a/b.ogg 1", -1), 0u);
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(opener->asked.back(),
              user.str() + "sounds" + sep + "music" + sep + "a" + sep + "b.ogg");
    EXPECT_EQ(engine->playSound("ftp://nowhere/x 1", -1), 0u);
    EXPECT_EQ(engine->playSound("radio/tone 1", -1), 0u); // no scheme: a sample, not found
    EXPECT_EQ(opener->asked.back(), "ftp://nowhere/x");
    // The engine's own WAV file streams need no opener.
    writeTone(user, "music/song", 0.5f);
    EXPECT_NE(engine->playSound("file://music/song.wav 1", -1), 0u);
    EXPECT_NEAR(heardHertz(0.2), 441.0, 5.0);
    // What failed to load or to open is tried again the next time.
    EXPECT_EQ(engine->playSound("late", -1), 0u);
    writeTone(user, "late", 0.5f);
    EXPECT_NE(engine->playSound("late", -1), 0u);
    EXPECT_EQ(engine->playSound("http://radio/late 1", -1), 0u);
    opener->sources["http://radio/late"] = opener->sources[kTone];
    EXPECT_NE(engine->playSound("http://radio/late 1", -1), 0u);
    std::ofstream(user.path() / "sounds" / "broken.wav", std::ios::binary) << "RIFF....WAVEjunk";
    EXPECT_EQ(engine->playSound("broken 0.5", -1), 0u);
    EXPECT_FALSE(engine->isSoundLoaded("broken"));
}

TEST_F(SoundEngineTest, DisabledSoundsAndStreamsNeverLoad) {
    engine->setSoundsEnabled(false);
    EXPECT_EQ(engine->playSound("door", -1), 0u);
    EXPECT_EQ(engine->loadSound("door", false), 0u);
    EXPECT_NE(engine->playSound(kTone + " 1", -1), 0u);
    stopEverything();
    engine->setSoundsEnabled(true);
    engine->setStreamsEnabled(false);
    EXPECT_EQ(engine->playSound(kTone + " 1", -1), 0u);
    EXPECT_EQ(engine->loadSound(kSteps, false), 0u);
    EXPECT_NE(engine->playSound("door", -1), 0u);
    EXPECT_EQ(opener->asked.size(), 1u); // the stream played while streams were allowed
}

TEST_F(SoundEngineTest, MasterVolumesClampRoundAndAreHeardAtOnce) {
    // A change of the sounds' volume is heard on "menubounds", at the new level.
    EXPECT_EQ(engine->setSoundsVolume(-75, true), 25);
    EXPECT_NEAR(heardLevel(0.1), kToneRms / 4, 0.004);
    EXPECT_EQ(engine->setSoundsVolume(33, false, false), 33);
    EXPECT_FLOAT_EQ(engine->soundsVolume(), 0.33f);
    EXPECT_EQ(engine->setSoundsVolume(70, true, false), 100);
    EXPECT_EQ(engine->setSoundsVolume(-200, true, false), 0);
    EXPECT_FLOAT_EQ(engine->soundsVolume(), 0.0f);
    stopEverything();
    // A running stream keeps its share of the streams' master, which keeps a trace of level.
    ASSERT_NE(engine->playSound(kTone + " 0.8 loop", -1), 0u);
    EXPECT_NEAR(heardLevel(0.2), kToneRms * 0.4, 0.005);
    EXPECT_EQ(engine->setStreamsVolume(25, false), 25);
    EXPECT_NEAR(heardLevel(0.2), kToneRms * 0.2, 0.005);
    EXPECT_EQ(engine->setStreamsVolume(-30, true), 0);
    EXPECT_FLOAT_EQ(engine->streamsVolume(), 0.001f);
    EXPECT_EQ(engine->setStreamsVolume(150, false), 100);
}

TEST_F(SoundEngineTest, ARunningStreamIsAdjustedAndAStoppedOneMadeAnew) {
    const auto first = engine->playSound(kSteps + " 0.5", -1);
    ASSERT_NE(first, 0u);
    static_cast<void>(render(0.6));
    // Still playing: the same stream goes on where it is (882 Hz), at the new level.
    EXPECT_EQ(engine->playSound(kSteps + " 1", -1), first);
    const auto out = render(0.2);
    EXPECT_NEAR(measuredHertz(out, kRate, 480, frameAt(0.2)), 882.0, 9.0);
    EXPECT_NEAR(channelRms(out, 0, 480, frameAt(0.2)), kToneRms * 0.5, 0.005);
    EXPECT_EQ(engine->loadSound(kSteps, true), first);
    // Stopped by hand: stale at once, made anew by the next request, from its start.
    engine->stop(first);
    EXPECT_FALSE(engine->isSoundLoaded(kSteps));
    EXPECT_NE(engine->playSound(kSteps + " 1", -1), first);
    EXPECT_NEAR(heardHertz(0.2), 441.0, 5.0);
    EXPECT_EQ(std::count(opener->asked.begin(), opener->asked.end(), kSteps), 2);
}

TEST_F(SoundEngineTest, NegativeVolumeAdjustsOnlyARunningStream) {
    const std::string fade = kTone + " -0.5 slide vol 2";
    EXPECT_EQ(engine->playSound(fade, -1), 0u);
    EXPECT_EQ(engine->playSound(kTone + " 0", -1), 0u);
    EXPECT_TRUE(opener->asked.empty()); // nothing was opened

    const auto stream = engine->playSound(kTone + " 1 loop", -1);
    static_cast<void>(render(0.1));
    EXPECT_EQ(engine->playSound(fade, -1), stream);
    const auto out = render(2.3);
    // Set to 0.5 × the master's 0.5 first, then down to nothing over two seconds and stopped.
    EXPECT_NEAR(channelRms(out, 0, frameAt(0.45), frameAt(0.55)), kToneRms * 0.1875, 0.005);
    EXPECT_NEAR(channelRms(out, 0, frameAt(1.45), frameAt(1.55)), kToneRms * 0.0625, 0.005);
    EXPECT_EQ(channelRms(out, 0, frameAt(2.05), frameAt(2.3)), 0.0);
    EXPECT_FALSE(engine->isPlaying(stream));
    EXPECT_FALSE(engine->isSoundLoaded(kTone));
}

TEST_F(SoundEngineTest, StreamsLoopAndMoveInTheSource) {
    struct Case {
        std::string options;
        double from; // seconds into the render
        double hertz;
        bool isPlayingAtTheEnd; // of 1.05 s
    };
    const Case cases[] = {
        {" loop", 0.1, 441.0, true},
        {" pos 0.6", 0.05, 882.0, false},
        {" pos 5", 0.05, 441.0, false},            // beyond the end: ignored
        {" speed 1 speed 0", 0.6, 882.0, false},   // the later option wins; neutral again
        {" pos 0.8 seek 0.5", 0.05, 882.0, false}, // the seek beyond the end is ignored
        {" loop pos 0.9", 0.2, 441.0, true},       // round to the start again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const auto stream = engine->playSound(kSteps + c.options, -1);
        ASSERT_NE(stream, 0u);
        const auto out = render(1.05);
        EXPECT_NEAR(measuredHertz(out, kRate, frameAt(c.from), frameAt(c.from + 0.05)), c.hertz,
                    c.hertz * 0.02);
        EXPECT_EQ(engine->isPlaying(stream), c.isPlayingAtTheEnd);
        EXPECT_EQ(engine->isSoundLoaded(kSteps), c.isPlayingAtTheEnd); // an ended one is forgotten
        stopEverything();
    }
    // A seek while it plays moves from where the stream is: 0.1 s + 0.5 s, then 0.15 s of the
    // one-second source, so it ends a quarter second later.
    const auto stream = engine->playSound(kSteps + " 1", -1);
    static_cast<void>(render(0.1));
    EXPECT_EQ(engine->playSound(kSteps + " -1 seek 0.5", -1), stream);
    EXPECT_NEAR(measuredHertz(render(0.15), kRate, frameAt(0.03), frameAt(0.12)), 882.0, 9.0);
    EXPECT_NEAR(heardSeconds(render(0.4)), 0.25, 0.04);
}

TEST_F(SoundEngineTest, StreamHandlesLoopAndStopLikeSampleVoices) {
    // The connecting sound's way: play, then loop and later stop through the handle.
    const auto stream = engine->playSound(kTone + " 1", -1);
    engine->setLooping(stream);
    static_cast<void>(render(1.5));
    EXPECT_TRUE(engine->isPlaying(stream));
    engine->stop(stream);
    EXPECT_EQ(heardLevel(0.1), 0.0);
    EXPECT_FALSE(engine->isPlaying(stream));
    // Set to loop only once its source was read to the end: the voice still plays, so it
    // goes round again.
    const auto late = engine->playSound(kTone + " 1", -1);
    static_cast<void>(render(0.95));
    engine->setLooping(late);
    EXPECT_NEAR(channelRms(render(0.5), 0, frameAt(0.3), frameAt(0.5)), kToneRms * 0.5, 0.005);
    EXPECT_TRUE(engine->isPlaying(late));
}

TEST_F(SoundEngineTest, BrokenStreamSourcesEndCleanly) {
    opener->sources["http://bad/garbage"] = [] {
        return std::make_unique<testing::GarbageSource>(4410);
    };
    opener->sources["http://bad/empty"] = [] {
        return std::make_unique<testing::GarbageSource>(0);
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

// The mix, pulled here as fast as this thread can, outruns the feeder thread at first (silence);
// the stream is heard once the thread has filled its ring.
TEST_F(SoundEngineTest, TheFeederThreadFillsPlayingStreams) {
    engine->startStreamFeeder();
    ASSERT_NE(engine->playSound(kTone + " 1 loop", -1), 0u);
    std::vector<float> block(480 * 2);
    double level = 0.0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (level < kToneRms * 0.4 && std::chrono::steady_clock::now() < deadline) {
        output.renderInto(block.data(), 480);
        level = channelRms(block, 0, 0, 480);
        std::this_thread::yield();
    }
    EXPECT_GT(level, kToneRms * 0.4); // the tone at the streams' master volume, 0.5
    engine->stopStreamFeeder();
}

} // namespace
} // namespace vendrel

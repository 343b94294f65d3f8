#include "audio/sound_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"
#include "fakes/temp_folder.h"

namespace vendrel {
namespace {

using testing::channelPeak;
using testing::channelRms;
using testing::measuredHertz;
using testing::sineSample;
using testing::TempFolder;
using testing::wavBytes;

constexpr std::uint32_t kRate = 48000;
constexpr double kToneRms = 0.5 / std::numbers::sqrt2; // the tones below have amplitude 0.5

class SoundEngineTest : public ::testing::Test {
protected:
    SoundEngineTest() {
        mixer.setSlideEndCallback([this](VoiceHandle voice, VoiceAttribute attribute) {
            slideEnds.emplace_back(voice, attribute);
        });
        writeTone(user, "door", 441.0, 0.5f);
        writeTone(user, "wind", 441.0, 0.5f);
        writeTone(program, "menubounds", 441.0, 0.5f);
    }

    static void writeTone(const TempFolder& folder, const std::string& name, double hertz,
                          float amplitude) {
        const auto path = folder.path() / "sounds" / (name + ".wav");
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            << wavBytes(sineSample(hertz, 44100, 1.0, amplitude).data, 1, 44100, 16);
    }

    SoundEngine& engine(float soundsVolume = 1.0f) {
        SoundEngineOptions options;
        options.userFolder = user.str();
        options.programFolder = program.str();
        options.extension = ".wav";
        options.soundsVolume = soundsVolume;
        engine_ = std::make_unique<SoundEngine>(mixer, options);
        return *engine_;
    }

    TempFolder user;
    TempFolder program;
    Mixer mixer{kRate};
    NullOutput output{mixer};
    std::vector<std::pair<VoiceHandle, VoiceAttribute>> slideEnds;

private:
    std::unique_ptr<SoundEngine> engine_;
};

TEST_F(SoundEngineTest, PlaysAtTheRequestedLevelAndPan) {
    struct Case {
        const char* parameters;
        float soundsVolume;
        double left; // level relative to the sample's own
        double right;
    };
    const Case cases[] = {
        {"door", 1.0f, 1.0, 1.0},
        {"door", 0.5f, 0.5, 0.5},
        {"door 0.5 pan -1", 1.0f, 0.5, 0.0},
        {"door 0.5 pan 1", 1.0f, 0.0, 0.5},
        {"door 1 pan -0.5", 1.0f, 1.0, 0.5}, // a linear balance, not a constant-power pan
        {"door 0.5 pan 2", 1.0f, 0.5, 0.5},
        {"door 1.5", 0.5f, 1.0, 1.0},    // above 1: the sample's own level, not the master's
        {"door -0.5", 0.5f, 0.25, 0.25}, // negative: as its size
        {"door 0.5 echo 3x", 1.0f, 0.5, 0.5},
    };
    for (const auto& c : cases) {
        SoundEngine& sounds = engine(c.soundsVolume);
        ASSERT_NE(sounds.playSound(c.parameters, -1), 0u) << c.parameters;
        const auto out = output.render(0.2);
        EXPECT_NEAR(channelRms(out, 0, 480, 9600), kToneRms * c.left, 0.004) << c.parameters;
        EXPECT_NEAR(channelRms(out, 1, 480, 9600), kToneRms * c.right, 0.004) << c.parameters;
        mixer.render(std::vector<float>(2 * kRate).data(), kRate); // let it end
    }
}

TEST_F(SoundEngineTest, ShiftsFrequencyByOptionsAndBareNumbers) {
    struct Case {
        const char* parameters;
        double hertz;
    };
    const Case cases[] = {
        {"wind 0.8 freq 12 freq 12", 1764.0},
        {"wind 0.8 absfreq 12 absfreq 12", 882.0},
        {"wind 0.8 12", 882.0},
        {"wind 0.8 freq 12 -12", 220.5}, // a bare number is absolute, as absfreq
        {"wind 0.8 freq -12 slide freq 0 12", 441.0},
    };
    SoundEngine& sounds = engine();
    for (const auto& c : cases) {
        ASSERT_NE(sounds.playSound(c.parameters, -1), 0u) << c.parameters;
        const auto out = output.render(0.1);
        EXPECT_NEAR(measuredHertz(out, kRate, 480, out.size() / 2), c.hertz, c.hertz * 0.01)
            << c.parameters;
        sounds.stopAllSounds();
        static_cast<void>(output.render(0.01));
    }
}

TEST_F(SoundEngineTest, FadesOutOverTwoSecondsThenStops) {
    SoundEngine& sounds = engine();
    const auto voice = sounds.playSound("door 1 loop slide vol 2", -1);
    ASSERT_NE(voice, 0u);
    const auto out = output.render(2.5);
    const double early = channelRms(out, 0, kRate / 10, kRate / 5);
    const double middle = channelRms(out, 0, kRate, kRate * 11 / 10);
    const double late = channelRms(out, 0, kRate * 18 / 10, kRate * 19 / 10);
    EXPECT_NEAR(early, kToneRms * 0.925, 0.02);
    EXPECT_NEAR(middle, kToneRms * 0.475, 0.02);
    EXPECT_GT(late, 0.0);
    EXPECT_LT(late, middle / 4);
    EXPECT_EQ(channelPeak(out, 0, kRate * 2 + 480, kRate * 5 / 2), 0.0);
    EXPECT_FALSE(sounds.isPlaying(voice));
    const std::vector<std::pair<VoiceHandle, VoiceAttribute>> expected = {
        {voice, VoiceAttribute::Volume}};
    EXPECT_EQ(slideEnds, expected);
}

TEST_F(SoundEngineTest, VolumeZeroStopsEveryInstance) {
    SoundEngine& sounds = engine();
    std::vector<SoundPlayer::Handle> voices;
    for (const char* parameters : {"door 0.2 loop", "door 0.2 pan -1", "door 0.2 loop pos 0.3"}) {
        voices.push_back(sounds.playSound(parameters, -1));
    }
    const auto wind = sounds.playSound("wind 0.2 loop", -1);
    static_cast<void>(output.render(0.1));
    EXPECT_EQ(sounds.playSound("door 0", -1), 0u);
    static_cast<void>(output.render(0.02));
    for (const auto voice : voices) {
        EXPECT_FALSE(sounds.isPlaying(voice));
    }
    EXPECT_TRUE(sounds.isPlaying(wind));
    sounds.stopAllSounds();
    const auto out = output.render(0.1);
    EXPECT_FALSE(sounds.isPlaying(wind));
    EXPECT_EQ(channelPeak(out, 0, 480, out.size() / 2), 0.0);
}

TEST_F(SoundEngineTest, ChannelRuleHoldsBackPlaysButNotStops) {
    SoundEngine& sounds = engine();
    sounds.setChannelFilter([](int channel) { return channel != 3; });
    EXPECT_EQ(sounds.playSound("door 0.5", 3), 0u);
    EXPECT_NE(sounds.playSound("door 0.5", 2), 0u);
    const auto looping = sounds.playSound("door 0.5 loop", -1);
    EXPECT_NE(looping, 0u);
    static_cast<void>(output.render(0.05));
    EXPECT_EQ(sounds.playSound("door 0", 3), 0u);
    static_cast<void>(output.render(0.02));
    EXPECT_FALSE(sounds.isPlaying(looping));
}

TEST_F(SoundEngineTest, LooksInTheUsersFolderFirstAndRetriesFailures) {
    writeTone(program, "door", 441.0, 0.1f); // the user's louder door wins
    writeTone(program, "only", 441.0, 0.1f);
    SoundEngine& sounds = engine();
    struct Case {
        const char* parameters;
        double rms;
    };
    const Case cases[] = {{"door", kToneRms}, {"only", kToneRms / 5}};
    for (const auto& c : cases) {
        ASSERT_NE(sounds.playSound(c.parameters, -1), 0u) << c.parameters;
        const auto out = output.render(0.1);
        EXPECT_NEAR(channelRms(out, 0, 480, 4800), c.rms, 0.004) << c.parameters;
        sounds.stopAllSounds();
        static_cast<void>(output.render(0.01));
    }

    EXPECT_EQ(sounds.playSound("late", -1), 0u);
    EXPECT_FALSE(sounds.isSoundLoaded("late"));
    writeTone(user, "late", 441.0, 0.5f);
    EXPECT_NE(sounds.playSound("late", -1), 0u);
    EXPECT_TRUE(sounds.isSoundLoaded("late"));

    std::ofstream(user.path() / "sounds" / "broken.wav", std::ios::binary) << "RIFF....WAVEjunk";
    EXPECT_EQ(sounds.playSound("broken 0.5", -1), 0u);
    EXPECT_EQ(sounds.loadSound("broken", false), 0u);
    EXPECT_FALSE(sounds.isSoundLoaded("broken"));
    EXPECT_EQ(sounds.playSound("http://host/stream.ogg 0.5", -1), 0u);
    EXPECT_FALSE(sounds.isSoundLoaded("http://host/stream.ogg"));

    const auto cache = sounds.sampleCache();
    EXPECT_NE(std::find(cache.begin(), cache.end(), std::pair<std::string, bool>("door", true)),
              cache.end());
    EXPECT_NE(std::find(cache.begin(), cache.end(), std::pair<std::string, bool>("broken", false)),
              cache.end());
}

TEST_F(SoundEngineTest, DisabledSoundsNeverLoad) {
    SoundEngineOptions options;
    options.userFolder = user.str();
    options.extension = ".wav";
    options.areSoundsEnabled = false;
    SoundEngine sounds(mixer, options);
    EXPECT_EQ(sounds.playSound("door", -1), 0u);
    EXPECT_EQ(sounds.loadSound("door", false), 0u);
    EXPECT_FALSE(sounds.isSoundLoaded("door"));
}

TEST_F(SoundEngineTest, MasterVolumesClampAndRound) {
    struct Case {
        bool isStreams;
        float before;
        int percent;
        bool isRelative;
        int result;
        float stored;
    };
    const Case cases[] = {
        {true, 0.25f, 0, false, 0, 0.001f},   {false, 0.95f, 10, true, 100, 1.0f},
        {false, 0.5f, -200, true, 0, 0.0f},   {false, 0.5f, 33, false, 33, 0.33f},
        {true, 0.25f, 150, false, 100, 1.0f}, {true, 0.25f, -5, true, 20, 0.2f},
        {true, 0.5f, -60, true, 0, 0.001f},   {false, 1.0f, -5, true, 95, 0.95f},
    };
    for (const auto& c : cases) {
        SoundEngineOptions options;
        options.soundsVolume = c.before;
        options.streamsVolume = c.before;
        SoundEngine sounds(mixer, options);
        const int result = c.isStreams ? sounds.setStreamsVolume(c.percent, c.isRelative)
                                       : sounds.setSoundsVolume(c.percent, c.isRelative);
        EXPECT_EQ(result, c.result) << c.percent;
        EXPECT_FLOAT_EQ(c.isStreams ? sounds.streamsVolume() : sounds.soundsVolume(), c.stored)
            << c.percent;
    }
}

TEST_F(SoundEngineTest, VolumeChangeIsHeardAtTheNewLevel) {
    SoundEngine& sounds = engine(1.0f);
    EXPECT_EQ(sounds.setSoundsVolume(-75, true), 25);
    const auto out = output.render(0.1);
    EXPECT_NEAR(channelRms(out, 0, 480, 4800), kToneRms / 4, 0.004); // "menubounds"
}

} // namespace
} // namespace vendrel

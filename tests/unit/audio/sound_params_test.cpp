#include "audio/sound_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vendrel {
namespace {

using Kind = SoundOptionKind;
using Target = SlideTarget;

struct ExpectedOption {
    Kind kind;
    double value = 0.0;
    Target target = Target::Volume;
    std::uint32_t durationMs = 0;
};

TEST(SoundParams, ReadsNameVolumeAndOptionsInOrder) {
    struct Case {
        const char* text;
        const char* name;
        float volume;
        std::vector<ExpectedOption> options;
    };
    const Case cases[] = {
        {"door", "door", 1.0f, {}},
        {"", "", 1.0f, {}},
        {"   ", "", 1.0f, {}},
        {"door 0.5 pan -0.3 pitch 2", "door", 0.5f, {{Kind::Pan, -0.3}, {Kind::Pitch, 2}}},
        {"door 0", "door", 0.0f, {}},
        {"door -0.5", "door", -0.5f, {}},
        {"door 1.5", "door", 1.5f, {}},
        {"http://host/a.ogg 0.4 loop", "http://host/a.ogg", 0.4f, {{Kind::Loop}}},
        // The pan rule: outside -1..1 the option is dropped, the edges are kept.
        {"door 0.5 pan 2", "door", 0.5f, {}},
        {"door 0.5 pan -1", "door", 0.5f, {{Kind::Pan, -1}}},
        {"door 0.5 pan 1.0001 pan 1", "door", 0.5f, {{Kind::Pan, 1}}},
        {"wind 0.8 freq 12 freq 12", "wind", 0.8f, {{Kind::Frequency, 12}, {Kind::Frequency, 12}}},
        {"wind 0.8 absfreq -12", "wind", 0.8f, {{Kind::AbsoluteFrequency, -12}}},
        {"d 1 pos 1.25 seek -0.5", "d", 1.0f, {{Kind::Position, 1.25}, {Kind::Seek, -0.5}}},
        {"d 1 pos", "d", 1.0f, {{Kind::Position, 0}}},
        {"d 1 speed 0.5", "d", 1.0f, {{Kind::Speed, 0.5}}},
        // Bare numbers are pitch shifts; "1e3" is not made only of digits, '-' and '.'.
        {"d 1 -2 1.5 1e3", "d", 1.0f, {{Kind::PitchShift, -2}, {Kind::PitchShift, 1.5}}},
        {"d 1 - .", "d", 1.0f, {{Kind::PitchShift, 0}, {Kind::PitchShift, 0}}},
        // Slides: seconds become whole milliseconds; speed takes tenths of those.
        {"d 0.5 slide vol", "d", 0.5f, {{Kind::Slide, 0, Target::Volume, 5000}}},
        {"d 1 slide vol 2", "d", 1.0f, {{Kind::Slide, 0, Target::Volume, 2000}}},
        {"d 1 slide pan 0.0019 -1", "d", 1.0f, {{Kind::Slide, -1, Target::Pan, 1}}},
        {"d 1 slide fre 1 12", "d", 1.0f, {{Kind::Slide, 12, Target::Frequency, 1000}}},
        {"d 1 slide freq 1 12", "d", 1.0f, {{Kind::Slide, 12, Target::Frequency, 1000}}},
        {"d 1 slide pitch 2 3", "d", 1.0f, {{Kind::Slide, 3, Target::Pitch, 2000}}},
        {"d 1 slide speed 2 0.5", "d", 1.0f, {{Kind::Slide, 0.5, Target::Speed, 200}}},
        {"d 1 slide vol -3 0", "d", 1.0f, {{Kind::Slide, 0, Target::Volume, 0}}},
        // An unknown target still takes its operands.
        {"d 1 slide colour 2 3 loop", "d", 1.0f, {{Kind::Loop}}},
        // Other words are skipped; an unreadable operand ends the options.
        {"d 1 echo loop", "d", 1.0f, {{Kind::Loop}}},
        {"d 1 pan left loop", "d", 1.0f, {}},
        {"d 1 slide vol soon loop", "d", 1.0f, {}},
        {"d 1 freq 1e999 loop", "d", 1.0f, {}},
        // Numbers end where stream extraction ends them.
        {"d 0.5pan -1loop", "d", 0.5f, {{Kind::Pan, -1}, {Kind::Loop}}},
        {"d\t0.25\n loop", "d", 0.25f, {{Kind::Loop}}},
        // A volume that is not a number keeps the default; its word is read as an option.
        {"d loop", "d", 1.0f, {{Kind::Loop}}},
        {"d nan", "d", 1.0f, {}},
        {"LOOP 1 LOOP", "LOOP", 1.0f, {}},
    };
    for (const auto& c : cases) {
        const SoundParams params = parseSoundParams(c.text);
        EXPECT_EQ(params.name, c.name) << c.text;
        EXPECT_FLOAT_EQ(params.volume, c.volume) << c.text;
        ASSERT_EQ(params.options.size(), c.options.size()) << c.text;
        for (std::size_t i = 0; i < c.options.size(); ++i) {
            const auto& got = params.options[i];
            const auto& want = c.options[i];
            EXPECT_EQ(got.kind, want.kind) << c.text << " #" << i;
            EXPECT_NEAR(got.value, want.value, 1e-6) << c.text << " #" << i;
            if (want.kind == Kind::Slide) {
                EXPECT_EQ(got.target, want.target) << c.text << " #" << i;
                EXPECT_EQ(got.durationMs, want.durationMs) << c.text << " #" << i;
            }
        }
    }
}

TEST(SoundParams, TellsStreamsAndNumbers) {
    struct Case {
        const char* text;
        bool isStream;
        bool isNumeric;
    };
    const Case cases[] = {
        {"http://a", true, false},  {"https://a", true, false},
        {"ftp://a", true, false},   {"file://a.ogg", true, false},
        {"HTTP://a", false, false}, {" http://a", false, false},
        {"door", false, false},     {"-2", false, true},
        {"1.5", false, true},       {"", false, false},
        {"1e5", false, false},      {"+1", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isStreamName(c.text), c.isStream) << c.text;
        EXPECT_EQ(isNumericToken(c.text), c.isNumeric) << c.text;
    }
}

TEST(SoundParams, CapsTheNumberOfOptions) {
    std::string text = "door 1";
    for (int i = 0; i < 1000; ++i) {
        text += " loop";
    }
    EXPECT_EQ(parseSoundParams(text).options.size(), kMaxSoundOptions);
}

// Strings built from the words the parser knows and bytes it does not: nothing crashes, and
// what comes out is always something the engine can apply.
TEST(SoundParams, SurvivesRandomStrings) {
    const char* words[] = {"freq",  "absfreq", "pan",  "loop", "pos", "seek", "pitch",
                           "speed", "slide",   "vol",  "fre",  "-",   ".",    "1e",
                           "-1.5",  "1e308",   "9e99", "0x10", "-0",  "\xff", "\t",
                           "nan",   "inf",     "12",   "---"};
    std::mt19937 random(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            if (random() % 4 == 0) {
                text.push_back(static_cast<char>(random() % 256));
            } else {
                text += words[random() % std::size(words)];
            }
            if (random() % 3 != 0) {
                text.push_back(' ');
            }
        }
        const SoundParams params = parseSoundParams(text);
        ASSERT_TRUE(std::isfinite(params.volume)) << text;
        ASSERT_LE(params.options.size(), kMaxSoundOptions);
        for (const auto& option : params.options) {
            ASSERT_TRUE(std::isfinite(option.value)) << text;
            if (option.kind == Kind::Pan) {
                ASSERT_LE(std::fabs(option.value), 1.0) << text;
            }
        }
    }
}

} // namespace
} // namespace vendrel

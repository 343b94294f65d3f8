#include "audio/sound_params.h"

#include <gtest/gtest.h>

#include <tuple>

namespace vendrel {

// Found by the vectors' comparison through argument-dependent lookup.
static bool operator==(const SoundOption& a, const SoundOption& b) {
    return std::tie(a.kind, a.value, a.target, a.durationMs) ==
           std::tie(b.kind, b.value, b.target, b.durationMs);
}

namespace {

using K = SoundOptionKind;
using T = SlideTarget;

TEST(SoundParams, ReadsNameVolumeAndOptionsInOrder) {
    struct Case {
        const char* text;
        const char* name;
        float volume;
        std::vector<SoundOption> options;
    };
    const Case cases[] = {
        {"", "", 1.0f, {}},
        {"door 0.5 pan -0.3 pitch 2", "door", 0.5f, {{K::Pan, -0.3}, {K::Pitch, 2}}},
        {"door -0.5", "door", -0.5f, {}},
        // The pan rule: outside -1..1 the option is dropped, the edges are kept.
        {"d 0.5 pan 1.0001 pan 1 pan -1", "d", 0.5f, {{K::Pan, 1}, {K::Pan, -1}}},
        {"d 1 freq 12 absfreq -12", "d", 1.0f, {{K::Frequency, 12}, {K::AbsoluteFrequency, -12}}},
        {"d 1 pos 1.25 speed 0.5", "d", 1.0f, {{K::Position, 1.25}, {K::Speed, 0.5}}},
        {"d 1 seek -0.5 pos", "d", 1.0f, {{K::Seek, -0.5}, {K::Position, 0}}},
        // Bare numbers are pitch shifts; "1e3" is not made only of digits, '-' and '.'.
        {"d 1 -2 1.5 1e3", "d", 1.0f, {{K::PitchShift, -2}, {K::PitchShift, 1.5}}},
        {"d 1 - .", "d", 1.0f, {{K::PitchShift, 0}, {K::PitchShift, 0}}},
        // Slides: seconds become whole milliseconds; speed takes tenths of those.
        {"d 0.5 slide vol", "d", 0.5f, {{K::Slide, 0, T::Volume, 5000}}},
        {"d 1 slide vol 2", "d", 1.0f, {{K::Slide, 0, T::Volume, 2000}}},
        {"d 1 slide pan 0.0019 -1", "d", 1.0f, {{K::Slide, -1, T::Pan, 1}}},
        {"d 1 slide fre 1 12", "d", 1.0f, {{K::Slide, 12, T::Frequency, 1000}}},
        {"d 1 slide freq 1 -1", "d", 1.0f, {{K::Slide, -1, T::Frequency, 1000}}},
        {"d 1 slide pitch 2 3", "d", 1.0f, {{K::Slide, 3, T::Pitch, 2000}}},
        {"d 1 slide speed 2 0.5", "d", 1.0f, {{K::Slide, 0.5, T::Speed, 200}}},
        {"d 1 slide vol -3 0", "d", 1.0f, {{K::Slide, 0, T::Volume, 0}}},
        // An unknown target still takes its operands; other words are skipped.
        {"d 1 slide colour 2 3 echo loop", "d", 1.0f, {{K::Loop}}},
        // An unreadable operand ends the options.
        {"d 1 pan left loop", "d", 1.0f, {}},
        {"d 1 freq 1e999 loop", "d", 1.0f, {}},
        // Numbers end where stream extraction ends them.
        {"d 0.5pan -1loop", "d", 0.5f, {{K::Pan, -1}, {K::Loop}}},
        // A volume that is not a number keeps the default; its word is read as an option.
        {"d loop", "d", 1.0f, {{K::Loop}}},
        {"d nan", "d", 1.0f, {}},
        {"LOOP 1 LOOP", "LOOP", 1.0f, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const SoundParams params = parseSoundParams(c.text);
        EXPECT_EQ(params.name, c.name);
        EXPECT_EQ(params.volume, c.volume);
        EXPECT_EQ(params.options, c.options);
    }
}

TEST(SoundParams, TellsStreamsAndNumbers) {
    struct Case {
        const char* text;
        bool isStream;
        bool isNumeric;
    };
    const Case cases[] = {
        {"http://a", true, false}, {"https://a", true, false}, {"ftp://a", true, false},
        {"file://a", true, false}, {"HTTP://a", false, false}, {" http://a", false, false},
        {"door", false, false},    {"-2", false, true},        {"1.5", false, true},
        {"", false, false},        {"1e5", false, false},      {"+1", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isStreamName(c.text), c.isStream) << c.text;
        EXPECT_EQ(isNumericToken(c.text), c.isNumeric) << c.text;
    }
}

// Random strings are the fuzzer's (fuzz/sound_fuzz.cpp), which holds them to this cap too.
TEST(SoundParams, CapsTheNumberOfOptions) {
    std::string text = "door 1";
    for (int i = 0; i < 1000; ++i) {
        text += " loop";
    }
    EXPECT_EQ(parseSoundParams(text).options.size(), kMaxSoundOptions);
}

} // namespace
} // namespace vendrel

#include "audio/mixer.h"

#include <gtest/gtest.h>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"

namespace vendrel {
namespace {

using testing::channelRms;
using testing::largestStep;
using Type = MixerCommandType;

constexpr std::uint32_t kRate = 48000;

VoiceHandle startVoice(Mixer& mixer, const Sample& sample, std::vector<MixerCommand> options = {}) {
    MixerBatch batch;
    batch.add({.type = Type::Start, .sample = &sample, .value = 1.0});
    for (const auto& option : options) {
        batch.add(option);
    }
    return mixer.submit(batch);
}

void send(Mixer& mixer, MixerCommand command) {
    MixerBatch batch;
    batch.add(command);
    static_cast<void>(mixer.submit(batch));
}

// A full-scale constant would click if a gain jumped; the ramps keep every step within theirs.
TEST(Mixer, RampsStartsStopsAndJumps) {
    const Sample dc{std::vector<float>(kRate, 1.0f), 1, kRate};
    Mixer mixer(kRate);
    NullOutput output(mixer);
    const VoiceHandle voice = startVoice(mixer, dc);
    auto out = output.render(0.05);
    const double rampStep = 1.001 / (kRampSeconds * kRate);
    EXPECT_LE(largestStep(out, 0), rampStep);
    EXPECT_FLOAT_EQ(out[out.size() - 2], 1.0f); // the ramp has ended at full level
    send(mixer, {.type = Type::SetVolume, .handle = voice, .value = 0.1});
    out = output.render(0.05);
    EXPECT_LE(largestStep(out, 0), rampStep);
    EXPECT_NEAR(out[out.size() - 2], 0.1f, 1e-6);
    send(mixer, {.type = Type::Stop, .handle = voice});
    out = output.render(0.05);
    EXPECT_LE(largestStep(out, 0), rampStep);
    EXPECT_GT(out[0], 0.05f); // faded, not cut
    EXPECT_FALSE(mixer.isPlaying(voice));
    EXPECT_EQ(channelRms(out, 0, 480, out.size() / 2), 0.0);
}

TEST(Mixer, LoopsAndEndsAndSetsPositions) {
    Sample ramp{{}, 1, kRate}; // 0.0, 0.001, ... over 1000 frames: the value tells the position
    for (int i = 0; i < 1000; ++i) {
        ramp.data.push_back(static_cast<float>(i) / 1000.0f);
    }
    Mixer mixer(kRate);
    NullOutput output(mixer);
    const VoiceHandle looping = startVoice(mixer, ramp, {{.type = Type::SetLoop, .flag = true}});
    const VoiceHandle once = startVoice(mixer, ramp,
                                        {{.type = Type::SetPan, .value = 1.0},
                                         {.type = Type::SetPosition, .value = 500.0 / kRate}});
    const auto out = output.render(0.1);
    EXPECT_TRUE(mixer.isPlaying(looping));
    EXPECT_FALSE(mixer.isPlaying(once));
    // The one-shot voice began half way (right channel: both voices; left: only the loop).
    EXPECT_NEAR(out[200 * 2 + 1] - out[200 * 2], 0.7, 1e-4);
    EXPECT_EQ(out[600 * 2 + 1] - out[600 * 2], 0.0f); // it ended after 500 frames
    EXPECT_NEAR(out[1200 * 2], 0.2, 1e-4);            // the loop wrapped
    // Positions past the end are ignored; seeks move from where the voice is.
    send(mixer, {.type = Type::SetPosition, .handle = looping, .value = 5.0});
    send(mixer, {.type = Type::Seek, .handle = looping, .value = -100.0 / kRate});
    EXPECT_NEAR(output.render(0.001)[0], 0.7, 1e-4); // 4800 frames played: at 800, less 100
}

TEST(Mixer, OverridesTheOldestVoiceOfASample) {
    const Sample dc{std::vector<float>(kRate, 0.001f), 1, kRate};
    Mixer mixer(kRate);
    NullOutput output(mixer);
    std::vector<VoiceHandle> voices;
    for (std::size_t i = 0; i < kMaxVoicesPerSample + 2; ++i) {
        voices.push_back(startVoice(mixer, dc));
        static_cast<void>(output.render(0.001));
    }
    static_cast<void>(output.render(0.01));
    EXPECT_FALSE(mixer.isPlaying(voices[0]));
    EXPECT_FALSE(mixer.isPlaying(voices[1]));
    EXPECT_TRUE(mixer.isPlaying(voices[2]));
    EXPECT_TRUE(mixer.isPlaying(voices.back()));
    EXPECT_EQ(mixer.playingVoices(), kMaxVoicesPerSample);
    // Another sample has its own allowance.
    const Sample other = dc;
    EXPECT_NE(startVoice(mixer, other), 0u);
    static_cast<void>(output.render(0.001));
    EXPECT_EQ(mixer.playingVoices(), kMaxVoicesPerSample + 1);
}

TEST(Mixer, SlidesOnTheMixClockAndReportTheirEnd) {
    const Sample dc{std::vector<float>(kRate, 1.0f), 1, kRate};
    Mixer mixer(kRate);
    std::vector<std::pair<VoiceHandle, VoiceAttribute>> ended;
    mixer.setSlideEndCallback(
        [&](VoiceHandle voice, VoiceAttribute attribute) { ended.emplace_back(voice, attribute); });
    NullOutput output(mixer);
    const VoiceHandle voice = startVoice(
        mixer, dc,
        {{.type = Type::SetLoop, .flag = true},
         {.type = Type::Slide, .value = 1.0, .attribute = VoiceAttribute::Pan, .durationMs = 100},
         {.type = Type::Slide, .value = 0.0, .durationMs = 200, .flag = true}}); // fade and stop
    const auto out = output.render(0.3);
    // Half way through the fade: volume 0.5, pan at its end (left silent).
    EXPECT_NEAR(out[(kRate / 10) * 2 + 1], 0.5, 0.01);
    EXPECT_NEAR(out[(kRate / 20) * 2 + 1], 0.75, 0.01);
    EXPECT_NEAR(out[(kRate / 20) * 2], 0.375, 0.01);
    EXPECT_EQ(channelRms(out, 1, kRate / 5 + 64, kRate * 3 / 10), 0.0);
    EXPECT_FALSE(mixer.isPlaying(voice));
    const std::vector<std::pair<VoiceHandle, VoiceAttribute>> expected = {
        {voice, VoiceAttribute::Pan}, {voice, VoiceAttribute::Volume}};
    EXPECT_EQ(ended, expected);
}

TEST(Mixer, RefusesWhatItCannotHold) {
    Mixer mixer(kRate);
    MixerBatch full;
    while (full.add({.type = Type::StopAll})) {
    }
    EXPECT_EQ(full.commands().size(), kMaxBatchCommands);
    for (std::size_t i = 0; i < kMaxQueuedCommands / kMaxBatchCommands; ++i) {
        static_cast<void>(mixer.submit(full));
    }
    // One place is left: a batch of two does not fit and is not half queued, one of one does.
    for (std::size_t i = 0; i < kMaxQueuedCommands % kMaxBatchCommands - 1; ++i) {
        send(mixer, {.type = Type::StopAll});
    }
    const Sample dc{std::vector<float>(kRate, 1.0f), 1, kRate};
    EXPECT_EQ(startVoice(mixer, dc, {{.type = Type::SetPan, .value = 1.0}}), 0u);
    const VoiceHandle last = startVoice(mixer, dc);
    EXPECT_NE(last, 0u);
    EXPECT_EQ(startVoice(mixer, dc), 0u);
    std::vector<float> out(200);
    mixer.render(out.data(), 100);
    EXPECT_TRUE(mixer.isPlaying(last));
    EXPECT_NE(startVoice(mixer, dc), 0u);
}

} // namespace
} // namespace vendrel

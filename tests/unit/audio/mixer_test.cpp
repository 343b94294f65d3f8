#include "audio/mixer.h"

#include <gtest/gtest.h>

#include "audio/audio_test_tools.h"
#include "audio/null_output.h"

namespace vendrel {
namespace {

using testing::channelPeak;
using testing::largestStep;

constexpr std::uint32_t kRate = 48000;

MixerCommand make(MixerCommandType type, double value = 0.0, VoiceHandle handle = 0) {
    MixerCommand command;
    command.type = type;
    command.value = value;
    command.handle = handle;
    return command;
}

VoiceHandle startVoice(Mixer& mixer, const Sample& sample, std::vector<MixerCommand> options = {},
                       double volume = 1.0) {
    MixerBatch batch;
    MixerCommand start = make(MixerCommandType::Start, volume);
    start.sample = &sample;
    batch.add(start);
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

// A full-scale square wave would click if a gain jumped; the ramps keep every step within the
// wave's own steps plus the ramp's.
TEST(Mixer, RampsStartsStopsAndJumps) {
    Sample dc;
    dc.rate = kRate;
    dc.data.assign(kRate, 1.0f);
    Mixer mixer(kRate);
    NullOutput output(mixer);
    const VoiceHandle voice = startVoice(mixer, dc);
    auto out = output.render(0.05);
    const double rampStep = 1.001 / (kRampSeconds * kRate);
    EXPECT_LE(largestStep(out, 0), rampStep);
    EXPECT_FLOAT_EQ(out[out.size() - 2], 1.0f); // the ramp has ended at full level
    send(mixer, make(MixerCommandType::SetVolume, 0.1, voice));
    out = output.render(0.05);
    EXPECT_LE(largestStep(out, 0), rampStep);
    EXPECT_NEAR(out[out.size() - 2], 0.1f, 1e-6);
    send(mixer, make(MixerCommandType::Stop, 0.0, voice));
    out = output.render(0.05);
    EXPECT_LE(largestStep(out, 0), rampStep);
    EXPECT_GT(out[0], 0.05f); // faded, not cut
    EXPECT_FALSE(mixer.isPlaying(voice));
    EXPECT_EQ(channelPeak(out, 0, 480, out.size() / 2), 0.0);
}

TEST(Mixer, LoopsAndEndsAndSetsPositions) {
    Sample ramp; // 0.0, 0.001, ... over 1000 frames: the value tells the position
    ramp.rate = kRate;
    for (int i = 0; i < 1000; ++i) {
        ramp.data.push_back(static_cast<float>(i) / 1000.0f);
    }
    Mixer mixer(kRate);
    NullOutput output(mixer);
    MixerCommand loop = make(MixerCommandType::SetLoop);
    loop.flag = true;
    const VoiceHandle looping = startVoice(mixer, ramp, {loop});
    const VoiceHandle once = startVoice(
        mixer, ramp,
        {make(MixerCommandType::SetPan, 1.0), make(MixerCommandType::SetPosition, 500.0 / kRate)});
    const auto out = output.render(0.1);
    EXPECT_TRUE(mixer.isPlaying(looping));
    EXPECT_FALSE(mixer.isPlaying(once));
    // The one-shot voice began half way (right channel: both voices; left: only the loop).
    EXPECT_NEAR(out[200 * 2 + 1] - out[200 * 2], 0.7, 1e-4);
    EXPECT_EQ(out[600 * 2 + 1] - out[600 * 2], 0.0f); // it ended after 500 frames
    EXPECT_NEAR(out[1200 * 2], 0.2, 1e-4);            // the loop wrapped
    // Positions past the end are ignored; seeks move from where the voice is.
    send(mixer, make(MixerCommandType::SetPosition, 5.0, looping));
    send(mixer, make(MixerCommandType::Seek, -100.0 / kRate, looping));
    const auto later = output.render(0.001);
    EXPECT_NEAR(later[0], 0.7, 1e-4); // 4800 frames played: at 800, less 100
}

TEST(Mixer, OverridesTheOldestVoiceOfASample) {
    Sample dc;
    dc.rate = kRate;
    dc.data.assign(kRate, 0.001f);
    Mixer mixer(kRate);
    NullOutput output(mixer);
    std::vector<VoiceHandle> voices;
    for (std::size_t i = 0; i < kMaxVoicesPerSample + 2; ++i) {
        voices.push_back(startVoice(mixer, dc));
        ASSERT_NE(voices.back(), 0u);
        static_cast<void>(output.render(0.001));
    }
    static_cast<void>(output.render(0.01));
    EXPECT_FALSE(mixer.isPlaying(voices[0]));
    EXPECT_FALSE(mixer.isPlaying(voices[1]));
    EXPECT_TRUE(mixer.isPlaying(voices[2]));
    EXPECT_TRUE(mixer.isPlaying(voices.back()));
    EXPECT_EQ(mixer.playingVoices(), kMaxVoicesPerSample);
    // Another sample has its own allowance.
    Sample other = dc;
    EXPECT_NE(startVoice(mixer, other), 0u);
    static_cast<void>(output.render(0.001));
    EXPECT_EQ(mixer.playingVoices(), kMaxVoicesPerSample + 1);
}

TEST(Mixer, SlidesOnTheMixClockAndReportTheirEnd) {
    Sample dc;
    dc.rate = kRate;
    dc.data.assign(kRate, 1.0f);
    Mixer mixer(kRate);
    std::vector<std::pair<VoiceHandle, VoiceAttribute>> ended;
    mixer.setSlideEndCallback(
        [&](VoiceHandle voice, VoiceAttribute attribute) { ended.emplace_back(voice, attribute); });
    NullOutput output(mixer);
    MixerCommand loop = make(MixerCommandType::SetLoop);
    loop.flag = true;
    MixerCommand pan = make(MixerCommandType::Slide, 1.0);
    pan.attribute = VoiceAttribute::Pan;
    pan.durationMs = 100;
    MixerCommand fade = make(MixerCommandType::Slide, 0.0);
    fade.attribute = VoiceAttribute::Volume;
    fade.durationMs = 200;
    fade.flag = true;
    const VoiceHandle voice = startVoice(mixer, dc, {loop, pan, fade});
    const auto out = output.render(0.3);
    // Half way through the fade: volume 0.5, pan at its end (left silent).
    EXPECT_NEAR(out[(kRate / 10) * 2 + 1], 0.5, 0.01);
    EXPECT_NEAR(out[(kRate / 20) * 2 + 1], 0.75, 0.01);
    EXPECT_NEAR(out[(kRate / 20) * 2], 0.375, 0.01);
    EXPECT_EQ(channelPeak(out, 1, kRate / 5 + 64, kRate * 3 / 10), 0.0);
    EXPECT_FALSE(mixer.isPlaying(voice));
    const std::vector<std::pair<VoiceHandle, VoiceAttribute>> expected = {
        {voice, VoiceAttribute::Pan}, {voice, VoiceAttribute::Volume}};
    EXPECT_EQ(ended, expected);
}

TEST(Mixer, RefusesWhatItCannotHold) {
    Mixer mixer(kRate);
    MixerBatch full;
    while (full.add(make(MixerCommandType::StopAll))) {
    }
    EXPECT_EQ(full.commands().size(), kMaxBatchCommands);
    for (std::size_t i = 0; i < kMaxQueuedCommands / kMaxBatchCommands; ++i) {
        static_cast<void>(mixer.submit(full));
    }
    // One place is left: a batch of two does not fit and is not half queued, one of one does.
    for (std::size_t i = 0; i < kMaxQueuedCommands % kMaxBatchCommands - 1; ++i) {
        send(mixer, make(MixerCommandType::StopAll));
    }
    Sample dc;
    dc.data.assign(100, 1.0f);
    EXPECT_EQ(startVoice(mixer, dc, {make(MixerCommandType::SetPan, 1.0)}), 0u);
    const VoiceHandle last = startVoice(mixer, dc);
    EXPECT_NE(last, 0u);
    EXPECT_EQ(startVoice(mixer, dc), 0u);
    EXPECT_FALSE(mixer.isPlaying(12345));
    std::vector<float> out(200);
    mixer.render(out.data(), 100);
    EXPECT_TRUE(mixer.isPlaying(last));
    EXPECT_NE(startVoice(mixer, dc), 0u);
}

} // namespace
} // namespace vendrel

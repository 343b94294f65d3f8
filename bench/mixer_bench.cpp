// The mixing cost of a busy table: 128 channels of one sound effect and two long stereo pieces
// of music (decoded at 44.1 kHz, resampled), rendered on one core at 48 kHz. The counter
// rt_fraction is the share of one core the mix takes in real time.
//
// MixerBusyTableWithStreams plays the music as real streams instead: the stream feeder fills
// their rings (one with its tempo raised by a quarter, through SoundTouch) and the mixer plays
// them; both threads' work is counted, as if on one core. It needs the codecs library.

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/mixer.h"
#include "audio/sample_stream.h"
#include "audio/stream_feeder.h"
#if __has_include("soundtouch_stretcher.h")
#include "soundtouch_stretcher.h"
#define VENDREL_BENCH_HAS_STRETCHER 1
#endif

namespace vendrel {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::size_t kDeviceBlock = 480; // 10 ms, a typical shared-mode period

Sample tone(std::uint32_t channels, double seconds) {
    Sample sample;
    sample.channels = channels;
    sample.rate = 44100;
    for (std::size_t i = 0; i < static_cast<std::size_t>(seconds * 44100) * channels; ++i) {
        const double t = static_cast<double>(i / channels) / 44100;
        sample.data.push_back(0.1f * static_cast<float>(std::sin(2 * std::numbers::pi * 440 * t)));
    }
    return sample;
}

void startLooping(Mixer& mixer, const Sample& sample, double frequencyFactor, double pan) {
    MixerBatch batch;
    batch.add({.type = MixerCommandType::Start, .sample = &sample, .value = 0.5});
    batch.add({.type = MixerCommandType::SetLoop, .flag = true});
    batch.add({.type = MixerCommandType::ScaleFrequency, .value = frequencyFactor});
    batch.add({.type = MixerCommandType::SetPan, .value = pan});
    static_cast<void>(mixer.submit(batch));
}

// Every voice at its own pitch and place, so none takes a shortcut.
void startEffects(Mixer& mixer, const Sample& effect, std::size_t channels) {
    for (std::size_t i = 0; i < channels; ++i) {
        const double share = static_cast<double>(i) / static_cast<double>(channels);
        startLooping(mixer, effect, 0.5 + share, -1.0 + 2.0 * share);
    }
}

// Renders device blocks, with a feeder pass before each when there is a feeder.
void renderBlocks(benchmark::State& state, Mixer& mixer, StreamFeeder* feeder) {
    std::vector<float> out(kDeviceBlock * 2);
    for (auto _ : state) {
        if (feeder != nullptr) {
            feeder->pump();
        }
        mixer.render(out.data(), kDeviceBlock);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["voices"] = static_cast<double>(mixer.playingVoices());
    // Seconds of CPU per second of audio: the share of one core.
    state.counters["rt_fraction"] = benchmark::Counter(
        static_cast<double>(kDeviceBlock) / kRate,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void MixerBusyTable(benchmark::State& state) {
    const Sample effect = tone(1, 2.0);
    const Sample music = tone(2, 10.0);
    Mixer mixer(kRate);
    startEffects(mixer, effect, static_cast<std::size_t>(state.range(0)));
    startLooping(mixer, music, 1.0, 0.0);
    startLooping(mixer, music, 1.25, 0.0);
    renderBlocks(state, mixer, nullptr);
}
BENCHMARK(MixerBusyTable)->Arg(0)->Arg(128);

#ifdef VENDREL_BENCH_HAS_STRETCHER
void startStream(Mixer& mixer, StreamFeeder& feeder, const Sample& music, double tempoPercent) {
    auto state = std::make_unique<StreamState>(music.channels, music.rate);
    state->isLooping.store(true);
    state->tempoPercent.store(tempoPercent);
    MixerBatch batch;
    batch.add({.type = MixerCommandType::StartStream, .stream = state.get(), .value = 0.5});
    if (mixer.submit(batch) != 0) {
        feeder.add(std::move(state), std::make_unique<SampleStreamSource>(music));
    }
}

void MixerBusyTableWithStreams(benchmark::State& state) {
    const Sample effect = tone(1, 2.0);
    const Sample music = tone(2, 10.0);
    Mixer mixer(kRate);
    StreamFeeder feeder;
    feeder.setTimeStretcherFactory(soundTouchStretcherFactory());
    startEffects(mixer, effect, static_cast<std::size_t>(state.range(0)));
    startStream(mixer, feeder, music, 0.0);
    startStream(mixer, feeder, music, 25.0);
    renderBlocks(state, mixer, &feeder);
    // Before the feeder frees the streams, the mixer lets go of them.
    MixerBatch stopAll;
    stopAll.add({.type = MixerCommandType::StopAll});
    static_cast<void>(mixer.submit(stopAll));
    std::vector<float> out(kDeviceBlock * 2);
    mixer.render(out.data(), kDeviceBlock);
}
BENCHMARK(MixerBusyTableWithStreams)->Arg(0)->Arg(128);
#endif

} // namespace
} // namespace vendrel

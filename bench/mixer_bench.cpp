// The mixing cost of a busy table: 128 channels of one sound effect and two long stereo
// "streams" (decoded music at 44.1 kHz, resampled), rendered on one core at 48 kHz.
// The counter rt_fraction is the share of one core the mix takes in real time.
//
// MixerBusyTableWithStreams plays the two pieces of music as real streams instead: the stream
// feeder fills their rings (one of them with its tempo raised by a quarter, through
// SoundTouch) and the mixer plays them; both threads' work is counted, as if on one core.
// It needs the codecs library (SoundTouch) and is left out of a build without it.

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

Sample tone(std::uint32_t channels, std::uint32_t rate, double seconds) {
    Sample sample;
    sample.channels = channels;
    sample.rate = rate;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < frames * channels; ++i) {
        const double t = static_cast<double>(i / channels) / rate;
        sample.data.push_back(0.1f * static_cast<float>(std::sin(2 * std::numbers::pi * 440 * t)));
    }
    return sample;
}

void startLooping(Mixer& mixer, const Sample& sample, double frequencyFactor, double pan) {
    MixerBatch batch;
    MixerCommand start;
    start.type = MixerCommandType::Start;
    start.sample = &sample;
    start.value = 0.5;
    batch.add(start);
    MixerCommand loop;
    loop.type = MixerCommandType::SetLoop;
    loop.flag = true;
    batch.add(loop);
    MixerCommand frequency;
    frequency.type = MixerCommandType::ScaleFrequency;
    frequency.value = frequencyFactor;
    batch.add(frequency);
    MixerCommand panning;
    panning.type = MixerCommandType::SetPan;
    panning.value = pan;
    batch.add(panning);
    static_cast<void>(mixer.submit(batch));
}

void MixerBusyTable(benchmark::State& state) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    const Sample effect = tone(1, 44100, 2.0);
    const Sample music = tone(2, 44100, 10.0);
    Mixer mixer(kRate);
    for (std::size_t i = 0; i < channels; ++i) {
        // Every voice at its own pitch and place, so none takes a shortcut.
        startLooping(mixer, effect, 0.5 + static_cast<double>(i) / channels,
                     -1.0 + 2.0 * static_cast<double>(i) / channels);
    }
    startLooping(mixer, music, 1.0, 0.0);
    startLooping(mixer, music, 1.25, 0.0);
    std::vector<float> out(kDeviceBlock * 2);
    for (auto _ : state) {
        mixer.render(out.data(), kDeviceBlock);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["voices"] = static_cast<double>(mixer.playingVoices());
    // Seconds of CPU per second of audio: the share of one core.
    state.counters["rt_fraction"] = benchmark::Counter(
        static_cast<double>(kDeviceBlock) / kRate,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(MixerBusyTable)->Arg(0)->Arg(128);

#ifdef VENDREL_BENCH_HAS_STRETCHER

void startStream(Mixer& mixer, StreamFeeder& feeder, const Sample& music, double tempoPercent) {
    auto state = std::make_unique<StreamState>(music.channels, music.rate);
    state->isLooping.store(true);
    state->tempoPercent.store(tempoPercent);
    MixerBatch batch;
    MixerCommand start;
    start.type = MixerCommandType::StartStream;
    start.stream = state.get();
    start.value = 0.5;
    batch.add(start);
    if (mixer.submit(batch) != 0) {
        feeder.add(std::move(state), std::make_unique<SampleStreamSource>(music));
    }
}

void MixerBusyTableWithStreams(benchmark::State& state) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    const Sample effect = tone(1, 44100, 2.0);
    const Sample music = tone(2, 44100, 10.0);
    Mixer mixer(kRate);
    StreamFeeder feeder;
    feeder.setTimeStretcherFactory(soundTouchStretcherFactory());
    for (std::size_t i = 0; i < channels; ++i) {
        startLooping(mixer, effect, 0.5 + static_cast<double>(i) / channels,
                     -1.0 + 2.0 * static_cast<double>(i) / channels);
    }
    startStream(mixer, feeder, music, 0.0);
    startStream(mixer, feeder, music, 25.0);
    std::vector<float> out(kDeviceBlock * 2);
    for (auto _ : state) {
        feeder.pump();
        mixer.render(out.data(), kDeviceBlock);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["voices"] = static_cast<double>(mixer.playingVoices());
    state.counters["rt_fraction"] = benchmark::Counter(
        static_cast<double>(kDeviceBlock) / kRate,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    // Before the feeder frees the streams, the mixer lets go of them.
    MixerBatch stopAll;
    MixerCommand stop;
    stop.type = MixerCommandType::StopAll;
    stopAll.add(stop);
    static_cast<void>(mixer.submit(stopAll));
    mixer.render(out.data(), kDeviceBlock);
}
BENCHMARK(MixerBusyTableWithStreams)->Arg(0)->Arg(128);
#endif

} // namespace
} // namespace vendrel

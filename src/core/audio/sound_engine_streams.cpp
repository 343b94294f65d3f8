// The engine's streams: the stream cache, opening, and the options a stream understands.

#include <algorithm>
#include <cmath>

#include "app/files.h"
#include "audio/sound_commands.h"
#include "audio/sound_engine.h"

namespace vendrel {
namespace {

using sound_commands::command;
using sound_commands::flagCommand;
using sound_commands::semitones;
using sound_commands::slide;

constexpr std::string_view kFilePrefix = "file://";

int toPercent(float volume) {
    return static_cast<int>(std::lround(volume * 100.0));
}

// The options of a stream, in the order written. Unlike a sample, a bare number and "pitch"
// shift the tempo pitch, and "speed" is the tempo in hundreds of percent.
void addStreamOption(MixerBatch& batch, const SoundOption& option, std::uint32_t rate,
                     float streamsVolume) {
    switch (option.kind) {
    case SoundOptionKind::Frequency:
        batch.add(command(MixerCommandType::ScaleFrequency, semitones(option.value)));
        break;
    case SoundOptionKind::AbsoluteFrequency:
        batch.add(command(MixerCommandType::SetFrequency, rate * semitones(option.value)));
        break;
    case SoundOptionKind::Pan:
        batch.add(command(MixerCommandType::SetPan, option.value));
        break;
    case SoundOptionKind::Loop:
        batch.add(flagCommand(MixerCommandType::SetLoop, true));
        break;
    case SoundOptionKind::Position:
        batch.add(command(MixerCommandType::SetPosition, option.value));
        break;
    case SoundOptionKind::Seek:
        batch.add(command(MixerCommandType::Seek, option.value));
        break;
    case SoundOptionKind::Pitch:
    case SoundOptionKind::PitchShift:
        batch.add(command(MixerCommandType::SetPitch, option.value));
        break;
    case SoundOptionKind::Speed:
        batch.add(command(MixerCommandType::SetTempo, option.value * 100.0));
        break;
    case SoundOptionKind::Slide:
        switch (option.target) {
        case SlideTarget::Volume:
            // A fade to nothing ends by stopping the stream.
            batch.add(slide(VoiceAttribute::Volume, option.value * streamsVolume, option.durationMs,
                            option.value <= 0.0));
            break;
        case SlideTarget::Pan:
            batch.add(slide(VoiceAttribute::Pan, option.value, option.durationMs));
            break;
        case SlideTarget::Frequency:
            batch.add(slide(VoiceAttribute::Frequency, semitones(option.value), option.durationMs));
            break;
        case SlideTarget::Pitch:
            batch.add(slide(VoiceAttribute::Pitch, option.value, option.durationMs));
            break;
        case SlideTarget::Speed:
            // The tempo slide's value is the tempo in percent as written.
            batch.add(slide(VoiceAttribute::Tempo, option.value, option.durationMs));
            break;
        }
        break;
    }
}

// The first tempo, pitch and looping of a new stream, set before its feeder reads a frame, so
// that the start of the stream already plays as asked. The mixer applies the same options
// again in order; these only spare the first frames.
void presetStream(StreamState& state, const std::vector<SoundOption>& options) {
    for (const auto& option : options) {
        if (option.kind == SoundOptionKind::Pitch || option.kind == SoundOptionKind::PitchShift) {
            state.pitchSemitones.store(std::clamp(option.value, -kMaxTempoPitch, kMaxTempoPitch));
        } else if (option.kind == SoundOptionKind::Speed) {
            state.tempoPercent.store(
                std::clamp(option.value * 100.0, kMinTempoPercent, kMaxTempoPercent));
        } else if (option.kind == SoundOptionKind::Loop) {
            state.isLooping.store(true);
        }
    }
}

// "pos" and "seek" of a new stream, applied to its source before the first frame is read, so
// that it starts where it was asked to without first playing from its beginning. Each move
// beyond either end is ignored, as for a running stream.
void moveNewStream(StreamSource& source, const std::vector<SoundOption>& options) {
    const auto length = source.lengthInFrames();
    const double rate = source.rate();
    double frame = 0.0;
    for (const auto& option : options) {
        if (option.kind != SoundOptionKind::Position && option.kind != SoundOptionKind::Seek) {
            continue;
        }
        const double target =
            std::floor((option.kind == SoundOptionKind::Seek ? frame : 0.0) + option.value * rate);
        if (target >= 0.0 && (!length || target < static_cast<double>(*length)) &&
            target < 1.0e15) {
            frame = target;
        }
    }
    if (frame > 0.0) {
        static_cast<void>(source.seek(static_cast<std::uint64_t>(frame)));
    }
}

bool isMove(const SoundOption& option) {
    return option.kind == SoundOptionKind::Position || option.kind == SoundOptionKind::Seek;
}

} // namespace

void SoundEngine::addStreamOpener(std::unique_ptr<StreamOpener> opener) {
    std::lock_guard guard(lock_);
    if (opener) {
        streamOpeners_.push_back(std::move(opener));
    }
}

void SoundEngine::setTimeStretcherFactory(TimeStretcherFactory factory) {
    feeder_.setTimeStretcherFactory(std::move(factory));
}

SoundPlayer::Handle SoundEngine::playStream(const SoundParams& params) {
    // Volume 0 or less only adjusts (or stops) a stream that already runs.
    const bool isLookupOnly = params.volume <= 0.0f;
    {
        std::lock_guard guard(lock_);
        if (!options_.areStreamsEnabled) {
            return 0;
        }
        StreamEntry running = activeStreamLocked(params.name);
        if (running.handle != 0 || isLookupOnly) {
            return running.handle != 0 ? adjustStreamLocked(params, running) : 0;
        }
    }
    auto source = openStream(params.name);
    std::lock_guard guard(lock_);
    // Another thread may have started the same URL while this one was opening it.
    StreamEntry running = activeStreamLocked(params.name);
    if (running.handle != 0) {
        return adjustStreamLocked(params, running);
    }
    if (!source) {
        streamCache_[params.name] = StreamEntry{}; // tried again next time
        return 0;
    }
    return startStreamLocked(params, std::move(source));
}

std::unique_ptr<StreamSource> SoundEngine::openStream(const std::string& name) {
    // The openers are all added before the engine is used, so the list is read unlocked.
    if (name.starts_with(kFilePrefix)) {
        std::string rest = name.substr(kFilePrefix.size());
        std::replace_if(
            rest.begin(), rest.end(), [](char c) { return c == '/' || c == '\\'; }, kPathSeparator);
        const std::string path = options_.userFolder + "sounds" + kPathSeparator + rest;
        for (const auto& opener : streamOpeners_) {
            if (auto source = opener->openFile(path)) {
                return source;
            }
        }
        return nullptr;
    }
    for (const auto& opener : streamOpeners_) {
        if (auto source = opener->openUrl(name)) {
            return source;
        }
    }
    return nullptr;
}

SoundPlayer::Handle SoundEngine::startStreamLocked(const SoundParams& params,
                                                   std::unique_ptr<StreamSource> source) {
    const std::uint32_t channels = source->channels();
    const std::uint32_t rate = source->rate();
    if (channels < 1 || channels > 2 || rate < kMinSampleRate || rate > kMaxSampleRate) {
        streamCache_[params.name] = StreamEntry{};
        return 0;
    }
    auto state = std::make_unique<StreamState>(channels, rate);
    presetStream(*state, params.options);
    moveNewStream(*source, params.options);
    MixerCommand start = command(MixerCommandType::StartStream, 1.0);
    start.stream = state.get();
    // Above 1 the volume is not applied: the stream plays at its own level.
    if (params.volume <= 1.0f) {
        start.value = params.volume * options_.streamsVolume;
    }
    MixerBatch batch;
    batch.add(start);
    for (const auto& option : params.options) {
        if (!isMove(option)) {
            addStreamOption(batch, option, rate, options_.streamsVolume);
        }
    }
    const Handle handle = mixer_.submit(batch);
    if (handle == 0) {
        streamCache_[params.name] = StreamEntry{}; // the mixer never saw the stream
        return 0;
    }
    feeder_.add(std::move(state), std::move(source));
    streamCache_[params.name] = StreamEntry{handle, rate, false};
    return handle;
}

SoundPlayer::Handle SoundEngine::adjustStreamLocked(const SoundParams& params, StreamEntry& entry) {
    MixerBatch batch;
    const float volume = std::fabs(params.volume);
    if (volume <= 1.0f) {
        batch.add(command(MixerCommandType::SetVolume, volume * options_.streamsVolume));
    }
    for (const auto& option : params.options) {
        addStreamOption(batch, option, entry.rate, options_.streamsVolume);
    }
    if (params.volume == 0.0f) {
        // Its options were still applied, as a stop has always allowed.
        batch.add(command(MixerCommandType::Stop));
        markStreamStoppedLocked(entry.handle);
    }
    MixerBatch addressed;
    for (MixerCommand each : batch.commands()) {
        each.handle = entry.handle;
        addressed.add(each);
    }
    static_cast<void>(mixer_.submit(addressed));
    return entry.handle;
}

SoundEngine::StreamEntry SoundEngine::activeStreamLocked(const std::string& name) {
    const auto found = streamCache_.find(name);
    if (found == streamCache_.end()) {
        return {};
    }
    const StreamEntry& entry = found->second;
    // An ended or stopped stream leaves a stale entry; the next request makes a new one.
    if (entry.handle == 0 || entry.isStopped || !mixer_.isPlaying(entry.handle)) {
        return {};
    }
    return entry;
}

void SoundEngine::markStreamStoppedLocked(Handle handle) {
    for (auto& [name, entry] : streamCache_) {
        if (handle != 0 && entry.handle == handle) {
            entry.isStopped = true;
        }
    }
}

int SoundEngine::setStreamsVolume(int percent, bool isRelative) {
    std::lock_guard guard(lock_);
    const float old = options_.streamsVolume;
    float volume = static_cast<float>(percent) / 100.0f + (isRelative ? old : 0.0f);
    // Streams never go fully silent through the master: the floor is 0.001.
    options_.streamsVolume = volume = std::clamp(volume, 0.001f, 1.0f);
    MixerBatch batch;
    for (const auto& [name, entry] : streamCache_) {
        if (entry.handle == 0 || entry.isStopped || !mixer_.isPlaying(entry.handle)) {
            continue;
        }
        MixerCommand scale = command(MixerCommandType::ScaleVolume, volume / old);
        scale.handle = entry.handle;
        if (!batch.add(scale)) {
            static_cast<void>(mixer_.submit(batch));
            batch = MixerBatch();
            batch.add(scale);
        }
    }
    if (!batch.commands().empty()) {
        static_cast<void>(mixer_.submit(batch));
    }
    return toPercent(volume);
}

void SoundEngine::stopAllStreams() {
    std::lock_guard guard(lock_);
    MixerBatch batch;
    for (const auto& [name, entry] : streamCache_) {
        if (entry.handle == 0) {
            continue;
        }
        MixerCommand stopStream = command(MixerCommandType::Stop);
        stopStream.handle = entry.handle;
        if (!batch.add(stopStream)) {
            static_cast<void>(mixer_.submit(batch));
            batch = MixerBatch();
            batch.add(stopStream);
        }
    }
    if (!batch.commands().empty()) {
        static_cast<void>(mixer_.submit(batch));
    }
    streamCache_.clear();
}

} // namespace vendrel

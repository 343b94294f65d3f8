#include "audio/sound_engine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "app/files.h"
#include "audio/channel_rule.h"
#include "audio/sample_stream.h"
#include "audio/sound_commands.h"
#include "audio/wav_decoder.h"

namespace vendrel {
namespace {

using sound_commands::command;
using sound_commands::semitones;
using sound_commands::slide;

// Sample handles live apart from voice handles, so one can never be taken for the other.
constexpr SoundPlayer::Handle kSampleHandleBit = 0x8000'0000u;

int toPercent(float volume) {
    return static_cast<int>(std::lround(volume * 100.0));
}

std::optional<std::string> readSoundFile(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(pathFromUtf8(path), error);
    if (error || size > kMaxSoundFileBytes) {
        return std::nullopt;
    }
    return readWholeFile(path);
}

// The options a sample voice understands, in the order written. Tempo and tempo pitch belong
// to streams and do nothing here.
void addSampleOption(MixerBatch& batch, const SoundOption& option, const Sample& sample,
                     float soundsVolume) {
    switch (option.kind) {
    case SoundOptionKind::Frequency:
        batch.add(command(MixerCommandType::ScaleFrequency, semitones(option.value)));
        break;
    case SoundOptionKind::AbsoluteFrequency:
    case SoundOptionKind::PitchShift:
        batch.add(command(MixerCommandType::SetFrequency, sample.rate * semitones(option.value)));
        break;
    case SoundOptionKind::Pan:
        batch.add(command(MixerCommandType::SetPan, option.value));
        break;
    case SoundOptionKind::Loop: {
        MixerCommand loop = command(MixerCommandType::SetLoop);
        loop.flag = true;
        batch.add(loop);
        break;
    }
    case SoundOptionKind::Position:
        batch.add(command(MixerCommandType::SetPosition, option.value));
        break;
    case SoundOptionKind::Seek:
        batch.add(command(MixerCommandType::Seek, option.value));
        break;
    case SoundOptionKind::Slide:
        if (option.target == SlideTarget::Volume) {
            // A fade to nothing ends by stopping the voice (stopChannelOnSlideEnd).
            batch.add(slide(VoiceAttribute::Volume, option.value * soundsVolume, option.durationMs,
                            option.value <= 0.0));
        } else if (option.target == SlideTarget::Pan) {
            batch.add(slide(VoiceAttribute::Pan, option.value, option.durationMs));
        } else if (option.target == SlideTarget::Frequency) {
            batch.add(slide(VoiceAttribute::Frequency, semitones(option.value), option.durationMs));
        }
        break;
    case SoundOptionKind::Pitch:
    case SoundOptionKind::Speed:
        break;
    }
}

} // namespace

SoundEngine::SoundEngine(Mixer& mixer, SoundEngineOptions options)
    : mixer_(mixer), options_(std::move(options)) {
    options_.soundsVolume = std::clamp(options_.soundsVolume, 0.0f, 1.0f);
    options_.streamsVolume = std::clamp(options_.streamsVolume, 0.001f, 1.0f);
    decoders_.push_back(std::make_unique<WavDecoder>());
    streamOpeners_.push_back(std::make_unique<WavStreamOpener>());
}

SoundEngine::~SoundEngine() = default;

void SoundEngine::addDecoder(std::unique_ptr<SoundDecoder> decoder) {
    std::lock_guard guard(lock_);
    decoders_.push_back(std::move(decoder));
}

void SoundEngine::setChannelFilter(ChannelFilter filter) {
    std::lock_guard guard(lock_);
    channelFilter_ = std::move(filter);
}

void SoundEngine::setChannelRule(ChannelFlagsLookup flags, ForegroundQuery isForeground) {
    if (!flags || !isForeground) {
        setChannelFilter(nullptr);
        return;
    }
    setChannelFilter([flags = std::move(flags), isForeground = std::move(isForeground)](
                         int channel) { return mayPlayOnChannel(flags(channel), isForeground()); });
}

SoundPlayer::Handle SoundEngine::playSound(const std::string& parameters, int channel) {
    const SoundParams params = parseSoundParams(parameters);
    if (params.name.empty()) {
        return 0;
    }
    {
        std::lock_guard guard(lock_);
        // A stop (volume 0 or less) is never held back by the channel's rule.
        if (params.volume > 0.0f && channel >= 0 && channelFilter_ && !channelFilter_(channel)) {
            return 0;
        }
    }
    // A stream may take long to open (a web stream connects), so it is opened unlocked.
    return isStreamName(params.name) ? playStream(params) : playSample(params);
}

SoundPlayer::Handle SoundEngine::playSample(const SoundParams& params) {
    std::lock_guard guard(lock_);
    const Handle sample = loadSampleLocked(params.name);
    if (sample == 0) {
        return 0;
    }
    if (params.volume == 0.0f) {
        MixerBatch batch;
        MixerCommand stopSample = command(MixerCommandType::StopSample);
        stopSample.sample = sampleOf(sample);
        batch.add(stopSample);
        static_cast<void>(mixer_.submit(batch));
        return 0;
    }
    return playSampleLocked(params, sample);
}

SoundPlayer::Handle SoundEngine::playSampleLocked(const SoundParams& params, Handle sampleHandle) {
    const Sample& sample = *sampleOf(sampleHandle);
    // A negative volume plays as its size; above 1 it is not applied and the voice keeps its
    // full level.
    const float volume = std::fabs(params.volume);
    MixerCommand start = command(MixerCommandType::Start, 1.0);
    start.sample = &sample;
    if (volume <= 1.0f) {
        start.value = volume * options_.soundsVolume;
    }
    MixerBatch batch;
    batch.add(start);
    for (const auto& option : params.options) {
        addSampleOption(batch, option, sample, options_.soundsVolume);
    }
    return mixer_.submit(batch);
}

void SoundEngine::setLooping(Handle handle) {
    MixerCommand loop = command(MixerCommandType::SetLoop);
    loop.flag = true;
    sendToVoice(handle, loop);
}

void SoundEngine::stop(Handle handle) {
    {
        std::lock_guard guard(lock_);
        markStreamStoppedLocked(handle);
    }
    sendToVoice(handle, command(MixerCommandType::Stop));
}

void SoundEngine::sendToVoice(Handle handle, MixerCommand voiceCommand) {
    // A sample handle or 0 would address the voice the batch starts; there is none.
    if (handle == 0 || (handle & kSampleHandleBit) != 0) {
        return;
    }
    voiceCommand.handle = handle;
    MixerBatch batch;
    batch.add(voiceCommand);
    static_cast<void>(mixer_.submit(batch));
}

bool SoundEngine::isPlaying(Handle handle) {
    return (handle & kSampleHandleBit) == 0 && mixer_.isPlaying(handle);
}

bool SoundEngine::isSoundLoaded(const std::string& name) {
    std::lock_guard guard(lock_);
    if (isStreamName(name)) {
        return activeStreamLocked(name).handle != 0;
    }
    const auto entry = sampleCache_.find(name);
    return entry != sampleCache_.end() && entry->second != 0;
}

SoundPlayer::Handle SoundEngine::loadSound(const std::string& name, bool isLookupOnly) {
    if (name.empty()) {
        return 0;
    }
    std::lock_guard guard(lock_);
    if (isStreamName(name)) {
        // A stream is made by playSound, which starts it with its options in one step; here
        // only a running one is found.
        return options_.areStreamsEnabled ? activeStreamLocked(name).handle : 0;
    }
    static_cast<void>(isLookupOnly); // samples are loaded whatever the caller means to do
    return loadSampleLocked(name);
}

SoundPlayer::Handle SoundEngine::loadSampleLocked(const std::string& name) {
    if (!options_.areSoundsEnabled) {
        return 0;
    }
    Handle& entry = sampleCache_[name];
    if (entry != 0) {
        return entry;
    }
    // The user's folder first, so that players can replace the program's sounds.
    for (const std::string* folder : {&options_.userFolder, &options_.programFolder}) {
        const std::string path = *folder + "sounds" + kPathSeparator + name + options_.extension;
        const auto bytes = readSoundFile(path);
        if (!bytes) {
            continue;
        }
        for (const auto& decoder : decoders_) {
            if (!decoder->canDecode(*bytes)) {
                continue;
            }
            if (auto sample = decoder->decode(*bytes)) {
                samples_.push_back(std::make_unique<const Sample>(std::move(*sample)));
                entry = kSampleHandleBit | static_cast<Handle>(samples_.size());
                return entry;
            }
        }
    }
    return 0;
}

const Sample* SoundEngine::sampleOf(Handle handle) const {
    const std::size_t index = (handle & ~kSampleHandleBit) - 1;
    return index < samples_.size() ? samples_[index].get() : nullptr;
}

int SoundEngine::setSoundsVolume(int percent, bool isRelative, bool isHeard) {
    float volume = 0.0f;
    {
        std::lock_guard guard(lock_);
        volume = static_cast<float>(percent) / 100.0f + (isRelative ? options_.soundsVolume : 0.0f);
        options_.soundsVolume = volume = std::clamp(volume, 0.0f, 1.0f);
    }
    // Heard at the new level, so the player knows where the volume now stands.
    if (isHeard) {
        playSound("menubounds", -1);
    }
    return toPercent(volume);
}

void SoundEngine::stopAllSounds() {
    MixerBatch batch;
    {
        std::lock_guard guard(lock_);
        for (const auto& sample : samples_) {
            MixerCommand stopSample = command(MixerCommandType::StopSample);
            stopSample.sample = sample.get();
            if (!batch.add(stopSample)) {
                static_cast<void>(mixer_.submit(batch));
                batch = MixerBatch();
                batch.add(stopSample);
            }
        }
    }
    static_cast<void>(mixer_.submit(batch));
}

void SoundEngine::setSoundsEnabled(bool isEnabled) {
    std::lock_guard guard(lock_);
    options_.areSoundsEnabled = isEnabled;
}

void SoundEngine::setStreamsEnabled(bool isEnabled) {
    std::lock_guard guard(lock_);
    options_.areStreamsEnabled = isEnabled;
}

float SoundEngine::soundsVolume() const {
    std::lock_guard guard(lock_);
    return options_.soundsVolume;
}

float SoundEngine::streamsVolume() const {
    std::lock_guard guard(lock_);
    return options_.streamsVolume;
}

std::vector<std::pair<std::string, bool>> SoundEngine::sampleCache() const {
    std::lock_guard guard(lock_);
    std::vector<std::pair<std::string, bool>> names;
    for (const auto& [name, handle] : sampleCache_) {
        names.emplace_back(name, handle != 0);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace vendrel

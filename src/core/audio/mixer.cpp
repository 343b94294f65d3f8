#include "audio/mixer.h"

#include <algorithm>
#include <cmath>

namespace vendrel {
namespace {

// Slides and gain ramps advance in steps of this many frames; within a step gains move in a
// straight line, so a slide is heard as a smooth curve.
constexpr std::size_t kBlockFrames = 64;

std::size_t slideIndex(VoiceAttribute attribute) {
    return static_cast<std::size_t>(attribute);
}

double clampAttribute(VoiceAttribute attribute, double value) {
    switch (attribute) {
    case VoiceAttribute::Volume:
        return std::clamp(value, 0.0, 1.0);
    case VoiceAttribute::Pan:
        return std::clamp(value, -1.0, 1.0);
    case VoiceAttribute::Frequency:
        return std::clamp(value, kMinFrequency, kMaxFrequency);
    case VoiceAttribute::Tempo:
        return std::clamp(value, kMinTempoPercent, kMaxTempoPercent);
    case VoiceAttribute::Pitch:
        return std::clamp(value, -kMaxTempoPitch, kMaxTempoPitch);
    }
    return value;
}

double& attributeOf(double& volume, double& pan, double& frequency, double& tempo, double& pitch,
                    VoiceAttribute attribute) {
    switch (attribute) {
    case VoiceAttribute::Volume:
        return volume;
    case VoiceAttribute::Pan:
        return pan;
    case VoiceAttribute::Frequency:
        return frequency;
    case VoiceAttribute::Tempo:
        return tempo;
    case VoiceAttribute::Pitch:
        return pitch;
    }
    return volume;
}

float moveTowards(float from, float to, float maxChange) {
    if (std::fabs(to - from) <= maxChange) {
        return to;
    }
    return to > from ? from + maxChange : from - maxChange;
}

} // namespace

bool MixerBatch::add(const MixerCommand& command) {
    if (size_ == commands_.size()) {
        return false;
    }
    commands_[size_++] = command;
    return true;
}

Mixer::Mixer(std::uint32_t outputRate)
    : rate_(std::clamp(outputRate, kMinSampleRate, kMaxSampleRate)),
      maxGainStep_(static_cast<float>(1.0 / (kRampSeconds * rate_))) {}

VoiceHandle Mixer::submit(const MixerBatch& batch) {
    const auto commands = batch.commands();
    const bool startsVoice = std::any_of(commands.begin(), commands.end(), [](const auto& c) {
        return (c.type == MixerCommandType::Start && c.sample != nullptr) ||
               (c.type == MixerCommandType::StartStream && c.stream != nullptr);
    });
    std::lock_guard lock(queueLock_);
    if (commands.empty() || kMaxQueuedCommands - queued_ < commands.size()) {
        return 0;
    }
    VoiceHandle handle = 0;
    if (startsVoice) {
        handle = ++lastHandle_ == 0 ? ++lastHandle_ : lastHandle_;
        lastIssued_.store(handle);
    }
    for (const auto& command : commands) {
        auto& queued = queue_[queued_++] = command;
        if (queued.handle == 0) {
            queued.handle = handle;
        }
    }
    return handle;
}

bool Mixer::isPlaying(VoiceHandle handle) const {
    if (handle == 0 || handle > lastIssued_.load()) {
        return false;
    }
    if (handle > lastStarted_.load()) {
        return true; // queued, not yet started
    }
    return std::any_of(published_.begin(), published_.end(),
                       [handle](const auto& slot) { return slot.load() == handle; });
}

std::size_t Mixer::playingVoices() const {
    return static_cast<std::size_t>(std::count_if(
        published_.begin(), published_.end(), [](const auto& slot) { return slot.load() != 0; }));
}

void Mixer::render(float* out, std::size_t frames) {
    applyCommands();
    std::fill(out, out + frames * 2, 0.0f);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t block = std::min(kBlockFrames, frames - done);
        for (auto& voice : voices_) {
            if (voice.handle != 0) {
                advanceSlides(voice, block);
                mixVoice(voice, out + done * 2, block);
            }
        }
        done += block;
    }
}

void Mixer::applyCommands() {
    std::size_t count = 0;
    {
        std::lock_guard lock(queueLock_);
        count = queued_;
        std::copy_n(queue_.begin(), count, taken_.begin());
        queued_ = 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        apply(taken_[i]);
    }
}

void Mixer::apply(const MixerCommand& command) {
    switch (command.type) {
    case MixerCommandType::Start:
        start(command);
        return;
    case MixerCommandType::StartStream:
        startStream(command);
        return;
    case MixerCommandType::StopSample:
    case MixerCommandType::StopAll:
        for (auto& voice : voices_) {
            const bool matches =
                command.type == MixerCommandType::StopAll ||
                (voice.handle != 0 && command.sample != nullptr && voice.sample == command.sample);
            voice.isStopping = voice.isStopping || matches;
        }
        return;
    default:
        if (Voice* voice = find(command.handle)) {
            applyToVoice(*voice, command);
        }
        return;
    }
}

void Mixer::start(const MixerCommand& command) {
    const Sample* sample = command.sample;
    if (sample != nullptr && sample->frameCount() > 0 && sample->channels <= 2) {
        Voice& voice = slotForStart(sample);
        const auto slot = static_cast<std::size_t>(&voice - voices_.data());
        voice = Voice{};
        voice.handle = command.handle;
        voice.sample = sample;
        voice.order = ++startOrder_;
        voice.frequency = clampAttribute(VoiceAttribute::Frequency, sample->rate);
        voice.volume = clampAttribute(VoiceAttribute::Volume, command.value);
        published_[slot].store(command.handle);
    }
    lastStarted_.store(command.handle);
}

Mixer::Voice& Mixer::slotForStart(const Sample* sample) {
    // Past the per-sample limit the oldest of the sample fades out, as the library we replaced
    // overrode its longest-playing channel.
    Voice* oldestOfSample = nullptr;
    std::size_t ofSample = 0;
    for (auto& voice : voices_) {
        if (sample == nullptr) {
            break; // a stream has no such limit
        }
        if (voice.handle != 0 && voice.sample == sample && !voice.isStopping) {
            ++ofSample;
            if (!oldestOfSample || voice.order < oldestOfSample->order) {
                oldestOfSample = &voice;
            }
        }
    }
    if (ofSample >= kMaxVoicesPerSample) {
        oldestOfSample->isStopping = true;
    }
    Voice* oldest = &voices_[0];
    for (auto& voice : voices_) {
        if (voice.handle == 0) {
            return voice;
        }
        // With the table full, a fading voice goes first, then the oldest.
        if (voice.isStopping > oldest->isStopping ||
            (voice.isStopping == oldest->isStopping && voice.order < oldest->order)) {
            oldest = &voice;
        }
    }
    release(*oldest);
    return *oldest;
}

void Mixer::applyToVoice(Voice& voice, const MixerCommand& command) {
    switch (command.type) {
    case MixerCommandType::SetVolume:
        voice.volume = clampAttribute(VoiceAttribute::Volume, command.value);
        return;
    case MixerCommandType::ScaleVolume: {
        // A fade in progress follows the master too, so it still ends where it was meant to.
        voice.volume = clampAttribute(VoiceAttribute::Volume, voice.volume * command.value);
        Slide& fade = voice.slides[slideIndex(VoiceAttribute::Volume)];
        fade.from = clampAttribute(VoiceAttribute::Volume, fade.from * command.value);
        fade.to = clampAttribute(VoiceAttribute::Volume, fade.to * command.value);
        return;
    }
    case MixerCommandType::SetPan:
        voice.pan = clampAttribute(VoiceAttribute::Pan, command.value);
        return;
    case MixerCommandType::SetFrequency:
        voice.frequency = clampAttribute(VoiceAttribute::Frequency, command.value);
        return;
    case MixerCommandType::ScaleFrequency:
        voice.frequency =
            clampAttribute(VoiceAttribute::Frequency, voice.frequency * command.value);
        return;
    case MixerCommandType::Slide:
        startSlide(voice, command);
        return;
    case MixerCommandType::Stop:
        voice.isStopping = true;
        return;
    default:
        break;
    }
    if (voice.stream != nullptr) {
        applyToStream(voice, command);
        return;
    }
    const double length = static_cast<double>(voice.sample->frameCount());
    const auto setPosition = [&](double seconds) {
        const double frame = seconds * voice.sample->rate;
        if (frame >= 0.0 && frame < length) { // beyond the end the position stays
            voice.position = frame;
        }
    };
    switch (command.type) {
    case MixerCommandType::SetLoop:
        voice.isLooping = command.flag;
        break;
    case MixerCommandType::SetPosition:
        setPosition(command.value);
        break;
    case MixerCommandType::Seek:
        setPosition(voice.position / voice.sample->rate + command.value);
        break;
    default:
        break; // tempo and tempo pitch mean nothing to a sample
    }
}

void Mixer::startSlide(Voice& voice, const MixerCommand& command) {
    const bool isTempoAttribute =
        command.attribute == VoiceAttribute::Tempo || command.attribute == VoiceAttribute::Pitch;
    if (isTempoAttribute && voice.stream == nullptr) {
        return; // a sample has no tempo: nothing slides and no slide ends
    }
    Slide& slide = voice.slides[slideIndex(command.attribute)];
    double* current = &attributeOf(voice.volume, voice.pan, voice.frequency, voice.tempo,
                                   voice.pitch, command.attribute);
    const double target =
        command.attribute == VoiceAttribute::Frequency ? *current * command.value : command.value;
    if (std::isnan(target)) {
        return;
    }
    slide.isActive = true;
    slide.stopsAtEnd = command.flag;
    slide.from = *current;
    slide.to = clampAttribute(command.attribute, target);
    slide.elapsed = 0;
    slide.duration = std::uint64_t{command.durationMs} * rate_ / 1000;
}

void Mixer::advanceSlides(Voice& voice, std::size_t frames) {
    for (std::size_t i = 0; i < voice.slides.size(); ++i) {
        Slide& slide = voice.slides[i];
        if (!slide.isActive) {
            continue;
        }
        slide.elapsed += frames;
        const bool isDone = slide.elapsed >= slide.duration;
        const double progress =
            isDone ? 1.0 : static_cast<double>(slide.elapsed) / static_cast<double>(slide.duration);
        const double value = slide.from + (slide.to - slide.from) * progress;
        double& target = attributeOf(voice.volume, voice.pan, voice.frequency, voice.tempo,
                                     voice.pitch, static_cast<VoiceAttribute>(i));
        target = isDone ? slide.to : value;
        if (isDone) {
            slide.isActive = false;
            voice.isStopping = voice.isStopping || slide.stopsAtEnd;
            if (slideEnd_) {
                slideEnd_(voice.handle, static_cast<VoiceAttribute>(i));
            }
        }
    }
    if (voice.stream != nullptr) {
        publishStreamSettings(voice);
    }
}

void Mixer::mixVoice(Voice& voice, float* out, std::size_t frames) {
    const auto volume = static_cast<float>(voice.isStopping ? 0.0 : voice.volume);
    const auto pan = static_cast<float>(voice.pan);
    const float maxChange = maxGainStep_ * static_cast<float>(frames);
    const float endLeft =
        moveTowards(voice.gainLeft, volume * std::min(1.0f, 1.0f - pan), maxChange);
    const float endRight =
        moveTowards(voice.gainRight, volume * std::min(1.0f, 1.0f + pan), maxChange);
    const GainRamp ramp{voice.gainLeft, voice.gainRight,
                        (endLeft - voice.gainLeft) / static_cast<float>(frames),
                        (endRight - voice.gainRight) / static_cast<float>(frames)};
    const bool hasEnded = voice.stream != nullptr ? mixStream(voice, ramp, out, frames)
                                                  : mixSample(voice, ramp, out, frames);
    voice.gainLeft = endLeft;
    voice.gainRight = endRight;
    if (hasEnded || (voice.isStopping && endLeft == 0.0f && endRight == 0.0f)) {
        release(voice);
    }
}

bool Mixer::mixSample(Voice& voice, const GainRamp& ramp, float* out, std::size_t frames) const {
    float left = ramp.left;
    float right = ramp.right;
    const Sample& sample = *voice.sample;
    const float* data = sample.data.data();
    const std::size_t length = sample.frameCount();
    const bool isStereo = sample.channels == 2;
    const double step = voice.frequency / rate_;
    double position = voice.position;
    bool hasEnded = false;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto index = static_cast<std::size_t>(position);
        const auto fraction = static_cast<float>(position - static_cast<double>(index));
        // After the last frame comes the first when looping, silence otherwise.
        const std::size_t next = index + 1 < length ? index + 1 : 0;
        const float nextWeight = index + 1 < length || voice.isLooping ? fraction : 0.0f;
        if (isStereo) {
            const float* a = data + index * 2;
            const float* b = data + next * 2;
            out[i * 2] += (a[0] * (1.0f - fraction) + b[0] * nextWeight) * left;
            out[i * 2 + 1] += (a[1] * (1.0f - fraction) + b[1] * nextWeight) * right;
        } else {
            const float value = data[index] * (1.0f - fraction) + data[next] * nextWeight;
            out[i * 2] += value * left;
            out[i * 2 + 1] += value * right;
        }
        left += ramp.stepLeft;
        right += ramp.stepRight;
        position += step;
        if (position >= static_cast<double>(length)) {
            if (!voice.isLooping) {
                hasEnded = true;
                break;
            }
            position = std::fmod(position, static_cast<double>(length));
        }
    }
    voice.position = position;
    return hasEnded;
}

Mixer::Voice* Mixer::find(VoiceHandle handle) {
    if (handle == 0) {
        return nullptr;
    }
    for (auto& voice : voices_) {
        if (voice.handle == handle) {
            return &voice;
        }
    }
    return nullptr;
}

void Mixer::release(Voice& voice) {
    const auto slot = static_cast<std::size_t>(&voice - voices_.data());
    published_[slot].store(0);
    voice.handle = 0;
    voice.sample = nullptr;
    if (voice.stream != nullptr) {
        // The last touch: from here the feeder may free the stream.
        voice.stream->isReleased.store(true, std::memory_order_release);
        voice.stream = nullptr;
    }
}

} // namespace vendrel

// The mixer's stream voices: they play what the feeder leaves in a stream's ring.

#include <algorithm>
#include <cmath>

#include "audio/mixer.h"

namespace vendrel {

void Mixer::startStream(const MixerCommand& command) {
    StreamState* stream = command.stream;
    if (stream == nullptr) {
        return;
    }
    Voice& voice = slotForStart(nullptr);
    const auto slot = static_cast<std::size_t>(&voice - voices_.data());
    voice = Voice{};
    voice.handle = command.handle;
    voice.stream = stream;
    voice.order = ++startOrder_;
    voice.frequency = std::clamp(static_cast<double>(stream->rate), kMinFrequency, kMaxFrequency);
    voice.volume = std::clamp(command.value, 0.0, 1.0);
    // Whoever made the stream set its first tempo and pitch, so the feeder's first frames
    // were already stretched; the voice starts from them.
    voice.tempo = stream->tempoPercent.load(std::memory_order_relaxed);
    voice.pitch = stream->pitchSemitones.load(std::memory_order_relaxed);
    voice.readAt = stream->ring.readIndex();
    published_[slot].store(command.handle);
    lastStarted_.store(command.handle);
}

void Mixer::applyToStream(Voice& voice, const MixerCommand& command) {
    StreamState& stream = *voice.stream;
    switch (command.type) {
    case MixerCommandType::SetLoop:
        stream.isLooping.store(command.flag, std::memory_order_relaxed);
        break;
    case MixerCommandType::SetTempo:
        voice.tempo = std::clamp(command.value, kMinTempoPercent, kMaxTempoPercent);
        publishStreamSettings(voice);
        break;
    case MixerCommandType::SetPitch:
        voice.pitch = std::clamp(command.value, -kMaxTempoPitch, kMaxTempoPitch);
        publishStreamSettings(voice);
        break;
    case MixerCommandType::SetPosition:
    case MixerCommandType::Seek: {
        if (!std::isfinite(command.value)) {
            break;
        }
        std::uint32_t request = stream.seekRequest.load(std::memory_order_relaxed) + 1;
        request = request == 0 ? 1 : request; // 0 means "none"
        stream.seekSeconds.store(command.value, std::memory_order_relaxed);
        stream.isSeekRelative.store(command.type == MixerCommandType::Seek,
                                    std::memory_order_relaxed);
        stream.seekRequest.store(request, std::memory_order_release);
        voice.awaitingSeek = request;
        break;
    }
    default:
        break;
    }
}

void Mixer::publishStreamSettings(const Voice& voice) {
    voice.stream->tempoPercent.store(voice.tempo, std::memory_order_relaxed);
    voice.stream->pitchSemitones.store(voice.pitch, std::memory_order_relaxed);
}

bool Mixer::mixStream(Voice& voice, const GainRamp& ramp, float* out, std::size_t frames) const {
    StreamState& stream = *voice.stream;
    StreamRing& ring = stream.ring;
    stream.voiceFrequency.store(voice.frequency, std::memory_order_relaxed);
    if (voice.awaitingSeek != 0) {
        // Until the feeder has moved, what the ring holds is from before the move: silence.
        if (stream.seekDone.load(std::memory_order_acquire) != voice.awaitingSeek) {
            return false;
        }
        const std::uint64_t mark = stream.seekMark.load(std::memory_order_relaxed);
        if (mark != StreamState::kNoSeekMark) {
            voice.readAt = std::max(voice.readAt, mark);
            voice.phase = 2.0;
            ring.consumeTo(voice.readAt);
        }
        voice.awaitingSeek = 0;
    }
    // The end flag first: when it is set, every frame was written before it.
    const bool isSourceDone = stream.hasEnded.load(std::memory_order_acquire);
    const std::uint64_t available = ring.available();
    const bool isStereo = ring.channels() == 2;
    const double step = voice.frequency / rate_;
    float left = ramp.left;
    float right = ramp.right;
    bool hasEnded = false;
    for (std::size_t i = 0; i < frames; ++i) {
        while (voice.phase >= 1.0 && voice.readAt < available) {
            const float* next = ring.frame(voice.readAt++);
            voice.frameA = voice.frameB;
            voice.frameB = {next[0], isStereo ? next[1] : next[0]};
            voice.phase -= 1.0;
        }
        if (voice.phase >= 1.0) {
            // Drained: the end, or the feeder is late (silence until it catches up).
            hasEnded = isSourceDone;
            break;
        }
        const auto fraction = static_cast<float>(voice.phase);
        out[i * 2] += (voice.frameA[0] * (1.0f - fraction) + voice.frameB[0] * fraction) * left;
        out[i * 2 + 1] +=
            (voice.frameA[1] * (1.0f - fraction) + voice.frameB[1] * fraction) * right;
        left += ramp.stepLeft;
        right += ramp.stepRight;
        voice.phase += step;
    }
    ring.consumeTo(voice.readAt);
    return hasEnded;
}

} // namespace vendrel

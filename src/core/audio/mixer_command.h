#pragma once
// What other threads ask of the mixer. Commands are small values copied into a preallocated
// queue, so nothing on the mixing path allocates.

#include <cstdint>

#include "audio/sample.h"
#include "audio/stream_state.h"

namespace vendrel {

using VoiceHandle = std::uint32_t; // 0: no voice

// Tempo (percent, 0 = the source's speed) and Pitch (semitones) belong to streams.
enum class VoiceAttribute : std::uint8_t { Volume, Pan, Frequency, Tempo, Pitch };

enum class MixerCommandType : std::uint8_t {
    Start,          // sample, value = volume: a new voice at the sample's own rate, centred
    StartStream,    // stream, value = volume: a new voice over the stream's ring, at its rate
    SetVolume,      // value
    ScaleVolume,    // value: factor on the current volume (and on a volume slide's ends)
    SetPan,         // value in -1..1
    SetFrequency,   // value in Hz
    ScaleFrequency, // value: factor on the current frequency
    SetLoop,        // flag: looping on or off
    SetTempo,       // value in percent (streams)
    SetPitch,       // value in semitones (streams)
    SetPosition,    // value in seconds; past the end it is ignored
    Seek,           // value: seconds added to the current position
    Slide,          // attribute to value (Frequency: factor on the current one) over durationMs;
                    // flag: stop the voice when the slide ends
    Stop,           // one voice
    StopSample,     // every voice of sample
    StopAll,
};

struct MixerCommand {
    MixerCommandType type = MixerCommandType::StopAll;
    VoiceHandle handle = 0; // 0 inside a batch that starts a voice: that new voice
    const Sample* sample = nullptr;
    StreamState* stream = nullptr; // StartStream: lives until the voice sets isReleased
    double value = 0.0;
    VoiceAttribute attribute = VoiceAttribute::Volume;
    std::uint32_t durationMs = 0;
    bool flag = false;
};

} // namespace vendrel

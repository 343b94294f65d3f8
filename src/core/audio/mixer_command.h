#pragma once
// What other threads ask of the mixer. Commands are small values copied into a preallocated
// queue, so nothing on the mixing path allocates.

#include <cstdint>

#include "audio/sample.h"

namespace vendrel {

using VoiceHandle = std::uint32_t; // 0: no voice

enum class VoiceAttribute : std::uint8_t { Volume, Pan, Frequency };

enum class MixerCommandType : std::uint8_t {
    Start,          // sample, value = volume: a new voice at the sample's own rate, centred
    SetVolume,      // value
    SetPan,         // value in -1..1
    SetFrequency,   // value in Hz
    ScaleFrequency, // value: factor on the current frequency
    SetLoop,        // flag: looping on or off
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
    double value = 0.0;
    VoiceAttribute attribute = VoiceAttribute::Volume;
    std::uint32_t durationMs = 0;
    bool flag = false;
};

} // namespace vendrel

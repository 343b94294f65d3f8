#pragma once
// Small builders of mixer commands shared by the engine's sample and stream halves.

#include <cmath>
#include <cstdint>

#include "audio/mixer_command.h"

namespace vendrel::sound_commands {

[[nodiscard]] inline double semitones(double shift) {
    return std::exp2(shift / 12.0);
}

[[nodiscard]] inline MixerCommand command(MixerCommandType type, double value = 0.0) {
    MixerCommand result;
    result.type = type;
    result.value = value;
    return result;
}

[[nodiscard]] inline MixerCommand flagCommand(MixerCommandType type, bool flag) {
    MixerCommand result = command(type);
    result.flag = flag;
    return result;
}

[[nodiscard]] inline MixerCommand slide(VoiceAttribute attribute, double value,
                                        std::uint32_t durationMs, bool stopsAtEnd = false) {
    MixerCommand result = command(MixerCommandType::Slide, value);
    result.attribute = attribute;
    result.durationMs = durationMs;
    result.flag = stopsAtEnd;
    return result;
}

} // namespace vendrel::sound_commands

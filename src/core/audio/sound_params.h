#pragma once
// The parameter string of the one sound route: a name (or a stream URL), an optional volume
// and options, for example 'door 0.5 pan -0.3 slide vol 2 0'. Parsing is pure so that every
// odd string the server may send can be tried in a test; applying the result is the engine's job.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel {

enum class SoundOptionKind : std::uint8_t {
    Frequency,         // "freq": current frequency × 2^(value/12); repeats accumulate
    AbsoluteFrequency, // "absfreq": native rate × 2^(value/12)
    Pan,               // "pan": value in -1..1 (others never reach the list)
    Loop,              // "loop"
    Position,          // "pos": value in seconds
    Seek,              // "seek": current position plus value seconds
    Pitch,             // "pitch": tempo pitch in semitones (streams)
    Speed,             // "speed": tempo factor; the stream's tempo is value × 100 percent
    PitchShift,        // a bare number: tempo pitch for a stream, absolute frequency for a sample
    Slide,             // "slide": target, value and durationMs
};

enum class SlideTarget : std::uint8_t { Volume, Pan, Frequency, Pitch, Speed };

struct SoundOption {
    SoundOptionKind kind = SoundOptionKind::Loop;
    double value = 0.0;
    SlideTarget target = SlideTarget::Volume; // Slide only
    std::uint32_t durationMs = 0;             // Slide only
};

struct SoundParams {
    std::string name; // empty: nothing to play
    float volume = 1.0f;
    std::vector<SoundOption> options; // in the order they were written
};

// A string of a thousand options is not a sound; the rest is dropped.
inline constexpr std::size_t kMaxSoundOptions = 64;

// Never fails: what cannot be read ends the options silently.
[[nodiscard]] SoundParams parseSoundParams(std::string_view text);

// "http://", "https://", "ftp://" or "file://" at position 0.
[[nodiscard]] bool isStreamName(std::string_view name);

// Digits, '-' and '.' only (and at least one of them): a pitch shift in semitones.
[[nodiscard]] bool isNumericToken(std::string_view token);

} // namespace vendrel

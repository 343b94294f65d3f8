#pragma once
// Starting the sound card and moving to another one. Samples and streams live in our mixer,
// not on a device, so choosing a device only reopens the output on it: whatever plays carries
// on there.
//
// The lines written to debug.txt keep the words our players and their helpers know from
// earlier versions ("Initializing bass..."), since tools read those logs.

#include <cstdint>
#include <string>
#include <vector>

#include "ports/audio_output.h"

namespace vendrel {

class DebugLog;
class Mixer;
struct ClientSettings;

// The rate every output is asked for; the mixer runs at it.
inline constexpr std::uint32_t kMixRate = 44100;

class AudioDevices {
public:
    // settings.audioDevice is the device in use and settings.soundDevice its name (both are
    // kept up to date here).
    AudioDevices(AudioOutput& output, Mixer& mixer, ClientSettings& settings, DebugLog& log);

    // The GUI thread, for all of these.
    // Opens the default output, then the one named in the settings when it is present; false
    // only when the default output cannot be opened.
    [[nodiscard]] bool initAudio();
    // Moves all sound to device n (from 1). Nothing happens for the device in use or n <= 0;
    // a device that cannot be opened leaves the one in use.
    void selectAudioDevice(int device);
    // The cards' names, device 1 (the system's default output) first.
    [[nodiscard]] std::vector<std::string> deviceNames() { return output_.deviceNames(); }
    // At program end; the mixer is not called after it returns.
    void freeAudio();

private:
    AudioOutput& output_;
    Mixer& mixer_;
    ClientSettings& settings_;
    DebugLog& log_;
};

} // namespace vendrel

#include "audio/audio_devices.h"

#include <string>
#include <vector>

#include "app/debug_log.h"
#include "audio/mixer.h"
#include "config/client_settings.h"

namespace vendrel {

AudioDevices::AudioDevices(AudioOutput& output, Mixer& mixer, ClientSettings& settings,
                           DebugLog& log)
    : output_(output), mixer_(mixer), settings_(settings), log_(log) {}

bool AudioDevices::initAudio() {
    const AudioOutput::RenderCallback render = [this](float* out, std::size_t frames) {
        mixer_.render(out, frames);
    };
    log_.line("Initializing bass...");
    // Device 1 follows the system's default output, so it is what a new player hears.
    if (!output_.open(1, mixer_.rate(), render)) {
        return false;
    }
    // Decoders are registered with the engine before this; there is nothing to load or set
    // here, but the steps stay in the log where players' logs have always had them.
    log_.line("Loading bass plugins...");
    log_.line("Configuring bass...");

    log_.line("Listing bass devices...");
    const std::vector<std::string> names = output_.deviceNames();
    int chosen = settings_.audioDevice;
    std::string lastName;
    for (std::size_t i = 0; i < names.size(); ++i) {
        lastName = names[i];
        // Byte for byte: a renamed card is a different card.
        if (names[i] == settings_.soundDevice) {
            chosen = static_cast<int>(i) + 1;
            break;
        }
    }
    // The name is that of the last device looked at, which is the chosen one when one
    // matched.
    log_.line("Init bass device #", std::to_string(chosen) + " [" + lastName + " ]");
    if (chosen != output_.currentDevice()) {
        // A card that cannot be opened leaves the default output playing.
        (void)output_.open(chosen, mixer_.rate(), render);
    }
    settings_.audioDevice = output_.currentDevice();
    log_.line("Bass initialized OK");
    return true;
}

void AudioDevices::selectAudioDevice(int device) {
    if (device <= 0 || device == output_.currentDevice()) {
        return;
    }
    if (!output_.open(device, mixer_.rate(),
                      [this](float* out, std::size_t frames) { mixer_.render(out, frames); })) {
        return;
    }
    const std::vector<std::string> names = output_.deviceNames();
    const auto index = static_cast<std::size_t>(device - 1);
    settings_.audioDevice = device;
    settings_.soundDevice = index < names.size() ? names[index] : std::string();
}

void AudioDevices::freeAudio() {
    output_.close();
}

} // namespace vendrel

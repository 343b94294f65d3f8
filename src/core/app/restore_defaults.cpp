#include "app/restore_defaults.h"

#include <cmath>

#include "app/app_state.h"
#include "audio/audio_devices.h"
#include "audio/sound_engine.h"
#include "config/config_file.h"
#include "history/presentation_files.h"
#include "ports/platform.h"
#include "speech/speech.h"
#include "speech/speech_ids.h"

namespace vendrel {

void restoreDefaults(AppState& state, const RestoreDefaultsParts& parts) {
    // The language comes back first: the presets' channel and view names are looked up in it.
    restoreDefaultSettings(state);
    const std::int32_t protocol =
        state.servers.empty()
            ? BuiltInServer::kProtocol
            : state.servers[defaultServerIndex(state.settings, state.servers)].protocol;
    loadDefaultChannels(state, protocol, isDarkBackground(state.platform->windowColour()));
    loadDefaultViews(state, protocol);
    if (parts.speech) {
        parts.speech->library().speechSetValue(speech_id::kEngine, -1);
        (void)parts.speech->initSpeech();
    }
    if (parts.audio) {
        parts.audio->selectAudioDevice(1);
    }
    if (parts.sounds) {
        const ClientSettings& settings = state.settings;
        (void)parts.sounds->setSoundsVolume(
            static_cast<int>(std::lround(settings.soundVolume * 100)), false, false);
        (void)parts.sounds->setStreamsVolume(
            static_cast<int>(std::lround(settings.streamVolume * 100)), false);
    }
    if (parts.reapplyWindow) {
        parts.reapplyWindow();
    }
}

} // namespace vendrel

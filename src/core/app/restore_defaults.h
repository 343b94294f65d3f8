#pragma once
// Restoring the defaults, from the main window (with or without asking) and from the
// connection dialog: one routine, so both leave the program in the same state.

#include <functional>

namespace vendrel {

struct AppState;
class AudioDevices;
class SoundEngine;
class Speech;

struct RestoreDefaultsParts {
    Speech* speech = nullptr;
    AudioDevices* audio = nullptr;
    SoundEngine* sounds = nullptr;
    // The window's part: font, history background, list box. It keeps the focus where it was.
    std::function<void()> reapplyWindow;
};

// GUI thread. Deletes the user folder's *.ini files, resets the settings (the server list
// stays), reloads the language, loads the default channels and views of the selected server's
// protocol, speaks through the automatic engine again, moves sound to the system's default
// card with the default master volumes (silently: no volume key was pressed), and re-applies
// the window. Nothing is written until the settings are next saved.
void restoreDefaults(AppState& state, const RestoreDefaultsParts& parts);

} // namespace vendrel

// The program's entry: prepare the environment, build the main window, run the message loop,
// and shut down in a fixed order. Every step is announced in debug.txt, so a player's log shows
// how far start-up came.

#include <windows.h>
#include <winsock2.h>

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "app/app_state.h"
#include "app/client_session.h"
#include "app/restore_defaults.h"
#include "app/start_up.h"
#include "app/worker.h"
#include "audio/audio_devices.h"
#include "audio/mixer.h"
#include "audio/sound_engine.h"
#include "config/config_file.h"
#include "connection_dialog.h"
#include "crash_handler.h"
#include "history/history.h"
#include "history/presentation_files.h"
#include "input_box.h"
#include "main_window.h"
#include "media_foundation_stream.h"
#include "menu/menu_controller.h"
#include "menu_list_box.h"
#include "options/option_menus.h"
#include "resource.h"
#include "rich_edit_pane.h"
#include "soundtouch_stretcher.h"
#include "speech/speech.h"
#include "speech/speech_backends.h"
#include "speech/speech_diagnosis.h"
#include "speech/win_speech.h"
#include "system_dialogs.h"
#include "vorbis_decoder.h"
#include "wasapi_output.h"
#include "win_environment.h"
#include "win_ports.h"
#include "win_socket_system.h"

namespace {

// Fixed English: the language file may not be loaded when these are needed.
int fatal(const wchar_t* text) {
    MessageBoxW(nullptr, text, L"Fatal error", MB_ICONERROR);
    return 1;
}

// The formats beyond WAV, registered before the first sound is loaded. Ogg Vorbis is asked
// first: it is what the lounge's sounds and most of its music are, and our own decoder is the
// one that is fuzzed. Media Foundation takes the other files (MP3, AAC, WMA) and every web
// address; sockets carry the web streams the system cannot open itself.
void addCodecs(vendrel::SoundEngine& engine, vendrel::SocketSystem& sockets) {
    engine.addDecoder(std::make_unique<vendrel::VorbisDecoder>());
    engine.addStreamOpener(std::make_unique<vendrel::VorbisStreamOpener>());
    engine.addStreamOpener(std::make_unique<vendrel::MediaFoundationOpener>(&sockets));
    engine.setTimeStretcherFactory(vendrel::soundTouchStretcherFactory());
}

// The engine holds the master volumes while the program runs; the settings get them back at
// every change, so a config.ini saved at any time (a language change, shutdown) has them.
void keepVolumes(const vendrel::SoundEngine& engine, vendrel::ClientSettings& settings) {
    settings.soundVolume = engine.soundsVolume();
    settings.streamVolume = engine.streamsVolume();
}

vendrel::SoundEngineOptions soundOptions(const vendrel::AppState& state) {
    const vendrel::ClientSettings& settings = state.settings;
    return {.userFolder = state.folders.user,
            .programFolder = state.folders.program,
            .extension = ".ogg",
            .soundsVolume = settings.soundVolume,
            .streamsVolume = settings.streamVolume,
            .areSoundsEnabled = settings.areSoundsEnabled,
            .areStreamsEnabled = settings.areStreamsEnabled};
}

// The volume and stop keys (F8/F7 sounds up/down, F6/F5 streams up/down, Shift+F7 and
// Shift+F5 to stop); false for other commands.
bool soundCommand(vendrel::SoundEngine& engine, vendrel::ClientSettings& settings, int id) {
    constexpr int kVolumeStep = 2; // percentage points
    switch (id) {
    case IDM_SOUNDS_VOLUME_UP:
    case IDM_SOUNDS_VOLUME_DOWN:
        (void)engine.setSoundsVolume(id == IDM_SOUNDS_VOLUME_UP ? kVolumeStep : -kVolumeStep, true);
        keepVolumes(engine, settings);
        return true;
    case IDM_STREAMS_VOLUME_UP:
    case IDM_STREAMS_VOLUME_DOWN:
        (void)engine.setStreamsVolume(id == IDM_STREAMS_VOLUME_UP ? kVolumeStep : -kVolumeStep,
                                      true);
        keepVolumes(engine, settings);
        return true;
    case IDM_STOP_SOUNDS:
        engine.stopAllSounds();
        return true;
    case IDM_STOP_STREAMS:
        engine.stopAllStreams();
        return true;
    default:
        return false;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace vendrel;
    // Process-wide for the program's life and never destroyed: the worker and connection
    // threads are not stopped at exit and may still touch them while the process ends.
    AppState& state = *new AppState;
    win::WinPlatform platform;
    state.platform = &platform;
    win::WinSystemEnvironment system(state);
    Worker& worker = *new Worker;

    if (!initEnvironment(state, system, worker)) {
        return fatal(L"Unable to initialize application environment");
    }
    DebugLog& log = state.debugLog;
    // Never destroyed, like the worker: other threads may still speak while the process ends.
    SpeechBridge& speechBridge =
        *win::createSpeechBridge(state, system.variable("VENDREL_SPEECH_LOG").value_or(""))
             .release();
    auto& speech = *new Speech(state, speechBridge);
    (void)speech.initSpeech();
    // Never destroyed either: the connection thread may still play a sound while the process
    // ends. The output's thread is stopped at shutdown, so the mixer is left alone by then.
    auto& sockets = *new win::WinSocketSystem;
    auto& mixer = *new Mixer(kMixRate);
    auto& sounds = *new SoundEngine(mixer, soundOptions(state));
    addCodecs(sounds, sockets);
    auto& audio = *new AudioDevices(*new win::WasapiOutput(log), mixer, state.settings, log);
    if (!audio.initAudio()) {
        return fatal(L"Unable to initialize audio device");
    }
    // Streams are fed only once the output pulls the mixer.
    sounds.startStreamFeeder();

    log.line("INitializing GUI...");
    if (!win::MainWindowShell::registerClass(instance)) {
        log.line("Couldn't register window class");
        return fatal(L"Couldn't register window class");
    }
    log.line("Initializing extended controls...");
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                                      ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS};
    if (!InitCommonControlsEx(&controls)) {
        return 1;
    }
    log.line("Initializing RichText control...");
    LoadLibraryW(L"riched20.dll");

    log.line("Creating GUI...");
    // The parts are made before the window's controls, which are given them at creation.
    auto& window = *new win::MainWindowShell(state, instance);
    auto& clock = *new win::WinClock;
    auto& shell = *new win::WinShell(window);
    auto& chatLine = *new win::EditChatLine(window);
    auto& modalBoxShowing = *new ModalBoxFlag;
    // In the foreground: the main window is active, or one of the server's boxes is open.
    const auto isForeground = [&] {
        return window.isActive() || modalBoxShowing.isShowing();
    };
    auto& pane = *new win::RichEditPane;
    auto& systemDialogs = *new win::WinSystemDialogs(window);
    auto& dialogs = *new win::WinDialogService(state, instance, window);
    auto& history = *new History(state, {pane, speech, shell, systemDialogs, isForeground});
    auto& historyRoute = *new HistoryRoute(state, history, window, shell);
    auto& session =
        *new ClientSession(state, {sockets, clock, sounds, worker, window, historyRoute, shell,
                                   window, chatLine, dialogs, modalBoxShowing, speechBridge});
    // A sound asked for on a history channel plays only when the channel allows it in the
    // program's state now: in the foreground or in the background. The rule is asked on
    // whichever thread plays, so both answers are safe there.
    sounds.setChannelRule([&](int channel) { return state.presentation.published.flags(channel); },
                          isForeground);
    const RestoreDefaultsParts restoreParts{&speech, &audio, &sounds, [&] {
                                                window.reapplyDefaults();
                                            }};
    auto& menuList = *new win::MenuListBox(state);
    auto& menus =
        *new MenuController({menuList, session.outgoing(), sounds, speech, clock}, state.gameKeys);
    menuList.setController(menus);
    auto& options =
        *new OptionMenus(state, {speech, speechBridge, sounds, audio, historyRoute, dialogs,
                                 systemDialogs, window, window, [&] { window.restoreDefaults(); },
                                 [&] {
                                     reportSpeechDiagnosis(state, speechBridge, historyRoute);
                                 }});
    menus.setLocalMenus(options);
    menuList.setColourLookup([&](std::int32_t index) -> std::optional<COLORREF> {
        return state.presentation.customColour(index);
    });
    menus.setReviewHistory([&](std::int32_t count) { history.review(count); });
    session.setMenus(menus);
    window.setMenuList(menuList);
    window.setActions(
        {.sendChatLine =
             [&] {
                 session.chatHistory().sendChatLine(
                     chatLine, [&](std::string_view text) { session.outgoing().sendChat(text); });
             },
         .recallChatLine = [&](int step) { session.chatHistory().recallChatLine(step, chatLine); },
         .gameKey = [&](int key, Modifiers modifiers) { menus.forwardKey(key, modifiers); },
         .reviewHistory = [&](int count) { history.review(count); },
         .sendF10 = [&] { return session.outgoing().sendF10(); },
         .sendQuit = [&] { session.outgoing().sendQuit(); },
         .openLocalMenu = [&](int id) { (void)menus.openLocalMenu(id, 0); },
         .command =
             [&](int id) {
                 if (id == IDM_SPEECH_DIAGNOSIS) {
                     reportSpeechDiagnosis(state, speechBridge, historyRoute);
                 } else if (!soundCommand(sounds, state.settings, id)) {
                     (void)history.runCommand(id);
                 }
             },
         .openLink = [&](const std::u16string& text) { history.openLinkInText(text); },
         .restoreDefaults =
             [&] {
                 restoreDefaults(state, restoreParts);
             }});
    window.setSpeech(speech);
    window.create();
    pane.attach(window.historyPane());
    platform.setOwner(window.hwnd());
    win::setNotificationWindow(window.hwnd());
    win::setCrashOwner(window.hwnd());
    window.show(showCommand);
    log.line("GUI created OK");
    (void)sounds.playSound("welcome 0.11", -1);

    log.line("Entering connection dialog");
    // Cancel posts the quit message: the loop below then ends at once and shutdown runs.
    (void)win::showConnectionDialog(
        state, window.hwnd(), shell,
        {.startConnection = [&] { session.startConnection(); },
         .loadServerPresentation =
             [&] {
                 loadServerPresentation(state, defaultServerIndex(state.settings, state.servers));
             },
         .restoreDefaults =
             [&] {
                 restoreDefaults(state, restoreParts);
             }});
    log.line("Exiting connection dialog");

    window.focusMenuList();
    log.line("Entering app main loop");
    HACCEL accelerators = LoadAcceleratorsW(instance, L"accel");
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The accelerator does not swallow its key: the focused control sees it too.
        TranslateAcceleratorW(window.hwnd(), accelerators, &message);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    log.line("Exiting app main loop");
    state.dailyLog.close();
    log.line("Saving config...");
    (void)saveConfig(state);
    log.line("Disconnecting...");
    session.shutdown();
    win::setNotificationWindow(nullptr);
    log.line("Closing BASS...");
    // The engine's order of life: its feeder stops before the output that plays its streams.
    sounds.stopStreamFeeder();
    audio.freeAudio();
    speechBridge.stop();
    return static_cast<int>(message.wParam);
}

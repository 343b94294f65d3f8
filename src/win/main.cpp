// The program's entry: prepare the environment, build the main window, run the message loop,
// and shut down in a fixed order. Every step is announced in debug.txt, so a player's log shows
// how far start-up came.

#include <windows.h>
#include <winsock2.h>

#include <commctrl.h>

#include "app/app_state.h"
#include "app/client_session.h"
#include "app/start_up.h"
#include "app/worker.h"
#include "config/config_file.h"
#include "connection_dialog.h"
#include "crash_handler.h"
#include "input_box.h"
#include "main_window.h"
#include "menu/menu_controller.h"
#include "menu_list_box.h"
#include "ports/sound_player.h"
#include "speech/speech.h"
#include "speech/speech_backends.h"
#include "speech/win_speech.h"
#include "win_environment.h"
#include "win_ports.h"
#include "win_socket_system.h"

namespace {

// Fixed English: the language file may not be loaded when these are needed.
int fatal(const wchar_t* text) {
    MessageBoxW(nullptr, text, L"Fatal error", MB_ICONERROR);
    return 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
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
    // Not yet built: audio starts here ("Unable to initialize audio device").

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
    auto& sounds = *new SilentSoundPlayer; // Not yet built: the audio engine.
    auto& clock = *new win::WinClock;
    auto& shell = *new win::WinShell(window);
    auto& chatLine = *new win::EditChatLine(window);
    auto& modalBoxShowing = *new ModalBoxFlag;
    auto& session = *new ClientSession(
        state, {*new win::WinSocketSystem, clock, sounds, worker, window,
                *new win::RichEditHistory(window, window), shell, window, chatLine,
                *new win::WinDialogService(state, instance, window), modalBoxShowing});
    auto& menuList = *new win::MenuListBox(state);
    auto& menus =
        *new MenuController({menuList, session.outgoing(), sounds, speech, clock}, state.gameKeys);
    menuList.setController(menus);
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
         .reviewHistory = {}, // Not yet built: the history review.
         .sendF10 = [&] { return session.outgoing().sendF10(); },
         .sendQuit = [&] { session.outgoing().sendQuit(); },
         .openLocalMenu = [&](int id) { (void)menus.openLocalMenu(id, 0); },
         .command = {}});
    window.setSpeech(speech);
    window.create();
    win::setNotificationWindow(window.hwnd());
    win::setCrashOwner(window.hwnd());
    window.show();
    log.line("GUI created OK");
    // Not yet built: the start sound ("welcome 0.11").

    log.line("Entering connection dialog");
    // Cancel posts the quit message: the loop below then ends at once and shutdown runs.
    (void)win::showConnectionDialog(state, window.hwnd(), shell,
                                    {.startConnection = [&] { session.startConnection(); },
                                     .loadServerPresentation = {},
                                     .reapplyDefaults =
                                         [&] {
                                             window.reapplyDefaults();
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
    log.line("Saving config...");
    (void)saveConfig(state);
    log.line("Disconnecting...");
    session.shutdown();
    win::setNotificationWindow(nullptr);
    speechBridge.stop();
    // Not yet built: closing the audio engine.
    return static_cast<int>(message.wParam);
}

#include "speech/win_speech.h"

#include <objbase.h>

#include "app/app_state.h"
#include "speech/speech_backends.h"
#include "win_text.h"

namespace vendrel::win {

std::unique_ptr<SpeechBridge> createSpeechBridge(AppState& state,
                                                 const std::string& transcriptPath) {
    std::vector<std::unique_ptr<SpeechBackend>> backends;
    // Screen readers first, as automatic selection takes the first that runs; the
    // notifications come after the two that have interfaces of their own, because those
    // screen readers listen to notifications too.
    backends.push_back(makeJawsSpeech());
    backends.push_back(makeNvdaSpeech(utf8ToWin(state.folders.program)));
    backends.push_back(makeNotificationSpeech());
    backends.push_back(makeSapiSpeech());

    // Free-threaded: SAPI and the notifications work from any apartment, and COM gives the
    // JAWS object a home of its own, so this thread never has to pump messages.
    auto isComReady = std::make_shared<bool>(false);
    SpeechBridgeHooks hooks;
    hooks.threadStarted = [isComReady] {
        *isComReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    };
    hooks.threadEnding = [isComReady] {
        if (*isComReady) {
            CoUninitialize();
        }
    };
    hooks.log = &state.debugLog;
    hooks.messages = &state.messages;
    auto bridge = std::make_unique<SpeechBridge>(std::move(backends), std::move(hooks));
    bridge->openTranscript(transcriptPath);
    bridge->start();
    return bridge;
}

} // namespace vendrel::win

#pragma once
// The speech bridge as the Windows program builds it.

#include <memory>
#include <string>

#include "speech/speech_bridge.h"

namespace vendrel {
struct AppState;
}

namespace vendrel::win {

// The bridge over the Windows back-ends in detection order (JAWS, NVDA, UI Automation
// notifications, SAPI 5), with COM set up on its thread and the speech transcript written to
// transcriptPath when that is not empty. The bridge's thread is running on return; stop() it
// before the process ends so the COM objects are released on their own thread.
[[nodiscard]] std::unique_ptr<SpeechBridge> createSpeechBridge(AppState& state,
                                                               const std::string& transcriptPath);

} // namespace vendrel::win

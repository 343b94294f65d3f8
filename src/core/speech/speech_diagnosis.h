#pragma once
// The speech diagnosis: which output speaks, which screen readers were found, and for each
// one that cannot be used the reason in plain words ("NVDA is running but
// nvdaControllerClient64.dll is not in the program folder"). "It doesn't talk" is the most
// common complaint about game clients; this gives the player, and the bug report, the why.

#include <optional>
#include <string>
#include <vector>

#include "speech/speech_backend.h"

namespace vendrel {

struct AppState;
class HistorySink;
class MessageTable;

struct SpeechBackendReport {
    std::u16string name;
    bool isScreenReader = true;
    bool isChosen = false; // the engine the player chose
    SpeechBackendStatus status;
};

struct SpeechDiagnosis {
    std::optional<std::u16string> output;      // the output the next text goes to
    std::vector<SpeechBackendReport> backends; // in detection order
};

class SpeechDiagnostics {
public:
    virtual ~SpeechDiagnostics() = default;
    // Any thread but the bridge's own; waits until every back-end has been asked.
    [[nodiscard]] virtual SpeechDiagnosis diagnose() = 0;
};

// The diagnosis in the player's language, one sentence a line: the output, the engine chosen
// when it is not the one speaking, the screen readers found, then one line per problem.
[[nodiscard]] std::vector<std::u16string> speechDiagnosisLines(const SpeechDiagnosis& diagnosis,
                                                               MessageTable& messages);

// The diagnosis key and the audio options' item: the lines go to the history on the client's
// channel 7 (so they are spoken, the first one cutting off whatever was being said, and can be
// read again) and to debug.txt, so that a bug report carries them. GUI thread.
void reportSpeechDiagnosis(AppState& state, SpeechDiagnostics& speech, HistorySink& history);

} // namespace vendrel

#pragma once
// A change of the output that speaks, as the bridge sees it at the moment a text is about to
// go out through `next`: whether the player is told of it, in which words, and the reason
// written to debug.txt. The player must never be left wondering why the voice changed or why
// the engine they chose went quiet.

#include <string>
#include <vector>

namespace vendrel {

class MessageTable;
class SpeechBackend;

struct PassedBackend {
    const SpeechBackend* backend = nullptr;
    bool hasFailed = false; // false: it was not running
};

struct SpeechSwitch {
    const SpeechBackend* previous = nullptr; // spoke the last text; none when nothing could
    const SpeechBackend* next = nullptr;     // about to speak; none when nothing can
    const SpeechBackend* chosen = nullptr;   // the player's own choice; none for automatic
    bool isFirstText = false;                // nothing was said before
    bool isChoiceChanged = false;            // the player chose again since the last text
    std::vector<PassedBackend> passed;       // the back-ends tried before next, in order
};

// A change the player hears about: the voice changed under them, or the engine they chose is
// not the one speaking. The output the program starts with is no news.
[[nodiscard]] bool isAnnounced(const SpeechSwitch& change);
// "Speech now through NVDA", or, when the engine the player chose is not the one speaking,
// which one it is and which one speaks instead. Only for a change with a next output.
[[nodiscard]] std::u16string announcementText(const SpeechSwitch& change, MessageTable& messages);
// Whether debug.txt gets a line about it: every change of output, the first text, a new choice.
[[nodiscard]] bool isLogged(const SpeechSwitch& change);
// Why, in debug.txt's fixed English: "NVDA is not running; SAPI 5 could not speak".
[[nodiscard]] std::string switchReason(const SpeechSwitch& change);

} // namespace vendrel

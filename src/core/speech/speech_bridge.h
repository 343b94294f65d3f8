#pragma once
// The speech bridge: the six calls of SpeechLibrary over the back-ends that really speak. One
// thread of its own serves a queue, so a caller never waits for an engine to say something,
// texts reach the engine in call order, and objects that belong to a thread (COM) stay on one.
//
// The engine in use is the one the player chose when it works, otherwise the first available
// back-end in detection order (the running screen reader, else the system voice). A back-end
// that fails is reset and the next one speaks the same text, so the player is never left
// silent while another back-end works. Every change of the output that speaks is written to
// debug.txt with its reason, and the player hears of it through the new output before the
// text that found it (speech_switch.h says which changes and in which words).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "speech/speech_backend.h"
#include "speech/speech_diagnosis.h"
#include "speech/speech_library.h"
#include "speech/speech_switch.h"
#include "speech/speech_transcript.h"

namespace vendrel {

class DebugLog;
class MessageTable;

struct SpeechBridgeHooks {
    // Run on the bridge's thread first and last: the place for per-thread set-up such as COM.
    std::function<void()> threadStarted;
    std::function<void()> threadEnding;
    // Told which back-end speaks whenever that changes, so a player's debug.txt shows it.
    DebugLog* log = nullptr;
    // The words of the announcements (read from the bridge's thread: the table locks itself).
    // Without them a change is only logged.
    MessageTable* messages = nullptr;
};

class SpeechBridge final : public SpeechLibrary, public SpeechDiagnostics {
public:
    // Back-ends in detection order.
    explicit SpeechBridge(std::vector<std::unique_ptr<SpeechBackend>> backends,
                          SpeechBridgeHooks hooks = {});
    ~SpeechBridge() override;
    SpeechBridge(const SpeechBridge&) = delete;
    SpeechBridge& operator=(const SpeechBridge&) = delete;

    // Before start. An empty path leaves the transcript off.
    void openTranscript(const std::string& path);
    // Texts said before start wait in the queue and are spoken once the thread runs.
    void start();
    // Speech still queued is dropped (it was recorded in the transcript already), the
    // back-ends are reset on the bridge's thread and the thread ends. Later texts reach only
    // the transcript; later questions get the "nothing there" answers.
    void stop();

    // SpeechLibrary: any thread.
    void speechSay(const std::u16string& text, bool interrupt) override;
    void brailleDisplay(const std::u16string& text) override;
    std::int32_t speechGetValue(std::int32_t id) override;
    void speechSetValue(std::int32_t id, std::int32_t value) override;
    std::optional<std::u16string> speechGetString(std::int32_t id) override;
    std::optional<std::string> jfwGetUserSettingsDirectory() override;
    // SpeechDiagnostics: any thread but the bridge's own.
    SpeechDiagnosis diagnose() override;

private:
    struct Request {
        SpeechKind kind = SpeechKind::Say;
        std::u16string text;
        bool interrupt = false;
        std::function<void()> question; // set for questions, which a caller waits for
        bool* answered = nullptr;
    };
    enum class Phase { NotStarted, Running, Stopped };

    void enqueue(Request request);
    void ask(const std::function<void()>& question);
    void run();
    void speak(const std::u16string& text, bool interrupt);
    [[nodiscard]] bool speakThrough(SpeechBackend& backend, const std::u16string& text,
                                    bool interrupt, const SpeechSwitch& change);
    void braille(const std::u16string& text);
    void settle(const SpeechSwitch& change);

    // Bridge thread only, from here on.
    [[nodiscard]] std::vector<SpeechBackend*> candidates() const;
    [[nodiscard]] SpeechBackend* byIndex(std::int32_t index) const;
    [[nodiscard]] SpeechBackend* inUse() const;
    [[nodiscard]] SpeechBackend* valueBackend() const;
    [[nodiscard]] std::int32_t getValue(std::int32_t id) const;
    void setValue(std::int32_t id, std::int32_t value);
    [[nodiscard]] std::optional<std::u16string> getString(std::int32_t id) const;

    std::vector<std::unique_ptr<SpeechBackend>> backends_;
    SpeechBridgeHooks hooks_;
    std::int32_t selectedEngine_ = -1;
    const SpeechBackend* speaker_ = nullptr; // spoke the last text
    bool isFirstText_ = true;
    std::int32_t engineAtLastText_ = -1; // selectedEngine_ when the last text was spoken

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable answered_;
    std::deque<Request> queue_;
    Phase phase_ = Phase::NotStarted;
    SpeechTranscript transcript_;
    std::thread thread_;
};

} // namespace vendrel

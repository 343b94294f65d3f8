#pragma once
// A scriptable speech back-end. The bridge calls it on its own thread while the test looks on
// from another, so everything it records is locked, and the test can hold it inside speak to
// line texts up behind it.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "speech/speech_backend.h"
#include "speech/speech_ids.h"
#include "text/utf.h"

namespace vendrel::testing {

struct SpokenText {
    std::u16string text;
    bool interrupt = false;
    bool operator==(const SpokenText&) const = default;
    friend void PrintTo(const SpokenText& spoken, std::ostream* out) {
        *out << (spoken.interrupt ? "! " : "") << toNarrow(spoken.text);
    }
};

class FakeSpeechBackend final : public SpeechBackend {
public:
    FakeSpeechBackend(std::int32_t index, std::u16string engineName, bool isBraille = false)
        : index_(index), name_(std::move(engineName)), isBraille_(isBraille) {}

    // Test thread: scripting.
    void setAvailable(bool isOn) {
        locked([&] { isAvailable_ = isOn; });
    }
    void setFailing(bool isOn) {
        locked([&] { isFailing_ = isOn; });
    }
    void setVoices(std::vector<std::u16string> names) {
        locked([&] { voices_ = std::move(names); });
    }
    void setRange(SpeechParameter which, SpeechRange range) {
        locked([&] { ranges_[which] = range; });
    }
    void setFolder(std::string folder) {
        locked([&] { folder_ = std::move(folder); });
    }
    // What the diagnosis hears; by default it follows the availability and failing switches.
    void setStatus(SpeechBackendStatus status) {
        locked([&] { status_ = std::move(status); });
    }
    // The next speak waits inside until release; waitUntilHeld tells when it got there.
    void hold() {
        locked([&] { isHolding_ = true; });
    }
    [[nodiscard]] bool waitUntilHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return isHeld_; });
    }
    void release() {
        locked([&] { isHolding_ = false; });
        changed_.notify_all();
    }
    // Waits until count texts have been spoken; a bridge that lost one fails the test's
    // comparison after a generous deadline instead of hanging it.
    std::vector<SpokenText> waitForSpoken(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(20), [&] { return spoken_.size() >= count; });
        return spoken_;
    }
    std::vector<SpokenText> spoken() { return copy(spoken_); }
    // What was spoken since the last call.
    std::vector<SpokenText> takeSpoken() {
        std::lock_guard lock(mutex_);
        return std::exchange(spoken_, {});
    }
    std::vector<std::u16string> brailled() { return copy(brailled_); }
    int resets() { return copy(resets_); }
    std::int32_t voice() { return copy(voice_); }

    // SpeechBackend: the bridge's thread.
    std::int32_t engineIndex() const override { return index_; }
    std::u16string name() const override { return name_; }
    bool isScreenReader() const override { return index_ != speech_id::kSapiEngine; }
    bool isAvailable() override { return copy(isAvailable_); }
    SpeechBackendStatus status() override {
        std::lock_guard lock(mutex_);
        if (status_) {
            return *status_;
        }
        const SpeechProblem problem = !isAvailable_ ? SpeechProblem::NotRunning
                                      : isFailing_  ? SpeechProblem::TextRefused
                                                    : SpeechProblem::None;
        return {isAvailable_, problem, {}, isFailing_ ? u"1" : u""};
    }
    bool speak(const std::u16string& text, bool interrupt) override {
        std::unique_lock lock(mutex_);
        if (isFailing_) {
            return false;
        }
        isHeld_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !isHolding_; });
        isHeld_ = false;
        spoken_.push_back({text, interrupt});
        changed_.notify_all();
        return true;
    }
    bool canBraille() const override { return isBraille_; }
    bool braille(const std::u16string& text) override {
        std::lock_guard lock(mutex_);
        if (isFailing_) {
            return false;
        }
        brailled_.push_back(text);
        return true;
    }
    void reset() override {
        locked([&] { ++resets_; });
    }
    std::vector<std::u16string> choices(SpeechChoice which) override {
        return which == SpeechChoice::Voice ? copy(voices_) : std::vector<std::u16string>{};
    }
    std::int32_t choice(SpeechChoice which) override {
        return which == SpeechChoice::Voice ? copy(voice_) : -1;
    }
    void select(SpeechChoice which, std::int32_t index) override {
        if (which == SpeechChoice::Voice) {
            locked([&] { voice_ = index; });
        }
    }
    std::optional<SpeechRange> parameter(SpeechParameter which) override {
        std::lock_guard lock(mutex_);
        const auto found = ranges_.find(which);
        return found == ranges_.end() ? std::nullopt : std::optional(found->second);
    }
    void setParameter(SpeechParameter which, std::int32_t value) override {
        locked([&] { ranges_[which].value = value; });
    }
    std::optional<std::string> userSettingsFolder() override {
        std::lock_guard lock(mutex_);
        return folder_.empty() ? std::nullopt : std::optional(folder_);
    }

private:
    template <typename F> void locked(F change) {
        std::lock_guard lock(mutex_);
        change();
    }
    template <typename T> T copy(const T& value) {
        std::lock_guard lock(mutex_);
        return value;
    }

    const std::int32_t index_;
    const std::u16string name_;
    const bool isBraille_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool isAvailable_ = true;
    bool isFailing_ = false;
    bool isHolding_ = false;
    bool isHeld_ = false;
    int resets_ = 0;
    std::int32_t voice_ = -1;
    std::vector<std::u16string> voices_;
    std::map<SpeechParameter, SpeechRange> ranges_;
    std::string folder_;
    std::optional<SpeechBackendStatus> status_;
    std::vector<SpokenText> spoken_;
    std::vector<std::u16string> brailled_;
};

} // namespace vendrel::testing

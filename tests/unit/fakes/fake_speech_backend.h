#pragma once
// A scriptable speech back-end. The bridge calls it on its own thread, so a test touches it
// only while that thread has nothing to do with it: before start, after stop, or once a question
// (speechGetValue) is answered, which the bridge does only after everything queued before it.
// ThreadSanitizer holds the tests to that.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "speech/speech_backend.h"
#include "speech/speech_ids.h"

namespace vendrel::testing {

class FakeSpeechBackend final : public SpeechBackend {
public:
    FakeSpeechBackend(std::int32_t index, std::u16string engineName)
        : index_(index), name_(std::move(engineName)) {}

    bool isOn = true;
    bool isFailing = false; // refuses every text and braille line
    std::vector<std::u16string> voices;
    std::int32_t voice = -1;
    std::map<SpeechParameter, SpeechRange> ranges;
    std::optional<std::string> folder;
    std::vector<std::pair<std::u16string, bool>> spoken; // and whether it interrupts
    std::vector<std::u16string> brailled;

    std::int32_t engineIndex() const override { return index_; }
    std::u16string name() const override { return name_; }
    bool isScreenReader() const override { return index_ != speech_id::kSapiEngine; }
    bool isAvailable() override { return isOn; }
    bool speak(const std::u16string& text, bool interrupt) override {
        if (!isFailing) {
            spoken.emplace_back(text, interrupt);
        }
        return !isFailing;
    }
    bool canBraille() const override { return isScreenReader(); }
    bool braille(const std::u16string& text) override {
        if (!isFailing) {
            brailled.push_back(text);
        }
        return !isFailing;
    }
    std::vector<std::u16string> choices(SpeechChoice which) override {
        return which == SpeechChoice::Voice ? voices : std::vector<std::u16string>{};
    }
    std::int32_t choice(SpeechChoice which) override {
        return which == SpeechChoice::Voice ? voice : -1;
    }
    void select(SpeechChoice which, std::int32_t index) override {
        voice = which == SpeechChoice::Voice ? index : voice;
    }
    std::optional<SpeechRange> parameter(SpeechParameter which) override {
        const auto found = ranges.find(which);
        return found == ranges.end() ? std::nullopt : std::optional(found->second);
    }
    void setParameter(SpeechParameter which, std::int32_t value) override {
        ranges[which].value = value;
    }
    std::optional<std::string> userSettingsFolder() override { return folder; }

private:
    const std::int32_t index_;
    const std::u16string name_;
};

} // namespace vendrel::testing

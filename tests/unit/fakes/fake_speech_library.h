#pragma once
// A speech library that records every call and answers from tables the test fills in.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "speech/speech_ids.h"
#include "speech/speech_library.h"

namespace vendrel::testing {

class FakeSpeechLibrary final : public SpeechLibrary {
public:
    std::map<std::int32_t, std::int32_t> values; // identifier to value; missing reads as 0
    std::map<std::int32_t, std::u16string> strings;
    std::optional<std::string> jawsFolder;
    std::vector<std::pair<std::int32_t, std::int32_t>> sets;
    // Identifiers whose sets are recorded but change nothing, as an engine that refuses them.
    std::set<std::int32_t> refused;
    std::vector<std::pair<std::u16string, bool>> said;

    // A numeric parameter as an engine would report it.
    void parameter(std::int32_t base, std::int32_t value, std::int32_t minimum,
                   std::int32_t maximum, bool isSupported = true) {
        values[base] = value;
        values[base + speech_id::kMaximumOffset] = maximum;
        values[base + speech_id::kMinimumOffset] = minimum;
        values[base + speech_id::kSupportedOffset] = isSupported ? 1 : 0;
    }

    void speechSay(const std::u16string& text, bool interrupt) override {
        said.emplace_back(text, interrupt);
    }
    void brailleDisplay(const std::u16string&) override {}
    std::int32_t speechGetValue(std::int32_t id) override {
        const auto found = values.find(id);
        return found == values.end() ? 0 : found->second;
    }
    void speechSetValue(std::int32_t id, std::int32_t value) override {
        sets.emplace_back(id, value);
        if (!refused.contains(id)) {
            values[id] = value;
        }
    }
    std::optional<std::u16string> speechGetString(std::int32_t id) override {
        const auto found = strings.find(id);
        return found == strings.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> jfwGetUserSettingsDirectory() override { return jawsFolder; }
};

} // namespace vendrel::testing

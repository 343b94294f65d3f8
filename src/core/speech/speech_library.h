#pragma once
// The six calls through which the client reaches speech and braille. The speech bridge is the
// real one; the tests give a recording fake.

#include <cstdint>
#include <optional>
#include <string>

namespace vendrel {

class SpeechLibrary {
public:
    virtual ~SpeechLibrary() = default;

    // Any thread; returns as soon as the text is handed over. With interrupt, what is being
    // spoken stops first; otherwise the text is queued behind it.
    virtual void speechSay(const std::u16string& text, bool interrupt) = 0;
    // Any thread; returns as soon as the text is handed over.
    virtual void brailleDisplay(const std::u16string& text) = 0;

    // Any thread, though the options and commands of the GUI thread are the callers. These wait
    // until the engine has answered. Identifiers are those of speech_ids.h.
    [[nodiscard]] virtual std::int32_t speechGetValue(std::int32_t id) = 0;
    virtual void speechSetValue(std::int32_t id, std::int32_t value) = 0;
    // Nothing when the identifier names no entry.
    [[nodiscard]] virtual std::optional<std::u16string> speechGetString(std::int32_t id) = 0;
    // The JAWS user settings folder (UTF-8, ending with its separator) when JAWS is installed.
    [[nodiscard]] virtual std::optional<std::string> jfwGetUserSettingsDirectory() = 0;
};

} // namespace vendrel

#pragma once
// One way of reaching the player's ears: a screen reader's own interface or a speech engine.
// The bridge calls every method on its own thread only, so a back-end may keep objects that
// belong to that thread (COM objects) and needs no lock of its own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrel {

enum class SpeechChoice { SubEngine, Language, Voice };
enum class SpeechParameter { Volume, Rate, Pitch, Inflexion };

struct SpeechRange {
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};

// Why a back-end cannot speak, as the speech diagnosis puts it into words for the player.
enum class SpeechProblem {
    None,
    NotRunning,       // its screen reader is not running: nothing to mend
    LibraryMissing,   // file: the library looked for in the program folder
    LibraryWrongBits, // file: the library found; detail: its bitness ("32")
    LibraryUnusable,  // file: the library found; detail: the loader's error code
    NotAnswering,     // detail: the error code of the screen reader's own test
    AutomationFailed, // detail: the error code of creating the automation object
    NoVoice,          // the engine has no voice installed
    EngineFailed,     // detail: the error code of starting the engine
    TextRefused,      // detail: the error code with which it refused to speak
    NoNotifications,  // a screen reader runs, but the system cannot send it notifications
};

struct SpeechBackendStatus {
    bool isFound = false; // its screen reader is running, or the engine is installed
    SpeechProblem problem = SpeechProblem::None;
    std::u16string file;
    std::u16string detail;
};

class SpeechBackend {
public:
    virtual ~SpeechBackend() = default;

    // The engine index of speech_ids.h and the name the options show.
    [[nodiscard]] virtual std::int32_t engineIndex() const = 0;
    [[nodiscard]] virtual std::u16string name() const = 0;
    // False for a speech engine of the system's own, which the diagnosis does not count among
    // the screen readers found.
    [[nodiscard]] virtual bool isScreenReader() const { return true; }

    // Cheap enough to ask before every text: is the screen reader running, or the engine
    // usable? A back-end that cannot load what it needs says no; it never fails loudly.
    [[nodiscard]] virtual bool isAvailable() = 0;
    // False when the text did not reach the player; the bridge then tries the next back-end.
    [[nodiscard]] virtual bool speak(const std::u16string& text, bool interrupt) = 0;
    [[nodiscard]] virtual bool canBraille() const { return false; }
    [[nodiscard]] virtual bool braille(const std::u16string&) { return false; }
    // What the diagnosis tells the player: slower than isAvailable (it may look at files), so
    // asked only when the player wants to know.
    [[nodiscard]] virtual SpeechBackendStatus status() {
        const bool isOn = isAvailable();
        return {isOn, isOn ? SpeechProblem::None : SpeechProblem::NotRunning, {}, {}};
    }
    // Drops whatever the back-end holds (objects of a screen reader that went away), so the
    // next isAvailable starts afresh.
    virtual void reset() {}

    [[nodiscard]] virtual std::vector<std::u16string> choices(SpeechChoice) { return {}; }
    // -1 when nothing is selected or the family is not offered.
    [[nodiscard]] virtual std::int32_t choice(SpeechChoice) { return -1; }
    virtual void select(SpeechChoice, std::int32_t) {}
    // Nothing when the engine lacks the parameter.
    [[nodiscard]] virtual std::optional<SpeechRange> parameter(SpeechParameter) {
        return std::nullopt;
    }
    virtual void setParameter(SpeechParameter, std::int32_t) {}

    // Only the JAWS back-end knows one.
    [[nodiscard]] virtual std::optional<std::string> userSettingsFolder() { return std::nullopt; }
};

} // namespace vendrel

#pragma once
// What the client does with speech on its own account: applying the speech settings at start,
// the JAWS configuration file, the percentages of the speech options and the speech keys of the
// main window. It is also the client's SpeechOutput, the one announcement route.

#include <atomic>
#include <cstdint>
#include <string>

#include "ports/speech_output.h"
#include "speech/speech_library.h"

namespace vendrel {

struct AppState;

// The file JAWS reads for this program, in the player's JAWS settings folder.
inline constexpr char kJawsConfigName[] = "torv2.jcf";

class Speech final : public SpeechOutput {
public:
    Speech(AppState& state, SpeechLibrary& library) : state_(state), library_(library) {}

    // SpeechOutput: any thread.
    void say(const std::u16string& text, bool interrupt) override;
    void braille(const std::u16string& text) override;
    bool engineSpeaksMenus() override { return engineSpeaksMenus_.load(); }

    // GUI thread, for everything below: they change the settings.

    // Sends the speech settings to the library at start-up (and after the defaults are
    // restored). Always true: speech that cannot be set up still reaches the transcript.
    bool initSpeech();
    // Writes torv2.jcf into the JAWS settings folder unless it is there already, so JAWS reads
    // the menu list through its accessibility interface.
    void writeJawsConfig();
    // "40%", or the "notsupported" message when the engine in use lacks the parameter.
    [[nodiscard]] std::u16string speechValueText(std::int32_t base);
    // Moves a numeric parameter by twentieths of its range and returns the new percentage; 0
    // and no change when the parameter is not supported.
    std::int32_t adjustSpeechValue(std::int32_t base, std::int32_t steps);
    // adjustSpeechValue, then what is in effect as the engine reports it afterwards: the
    // percentage read back, or "notsupported" when the engine lacks the parameter or refused
    // the change. What the speech keys (and the options' arrow keys) say.
    [[nodiscard]] std::u16string stepSpeechValue(std::int32_t base, std::int32_t steps);
    // Recomputed from the engine in use after every engine change.
    void updateEngineSpeaksMenus();

    // Command 1008: the next voice of the system voice engine, then back to automatic.
    void nextVoice();
    // Commands 1009 (+1) and 1010 (-1): speech rate, spoken as stepSpeechValue gives it.
    void changeRate(std::int32_t steps);

    [[nodiscard]] SpeechLibrary& library() { return library_; }

private:
    AppState& state_;
    SpeechLibrary& library_;
    std::atomic<bool> engineSpeaksMenus_{false};
};

} // namespace vendrel

#pragma once
// The one announcement route: everything the client says on its own goes through here, to
// the screen reader or speech engine and to the braille display.

#include <string>

namespace vendrel {

class SpeechOutput {
public:
    virtual ~SpeechOutput() = default;

    // Any thread; returns at once. With interrupt, speech in progress stops first.
    virtual void say(const std::u16string& text, bool interrupt) = 0;
    // Any thread; returns at once. Shows the text on the braille display when one is in use.
    // Not pure, so outputs that have no display need not mention it.
    virtual void braille(const std::u16string&) {}
    // True while the engine in use is the client's own voice (index 6): the screen reader then
    // does not announce the menu list's selection, so the client speaks every item itself.
    [[nodiscard]] virtual bool engineSpeaksMenus() = 0;
};

// Until a speech back-end exists: nothing is spoken.
class SilentSpeech final : public SpeechOutput {
public:
    void say(const std::u16string&, bool) override {}
    bool engineSpeaksMenus() override { return false; }
};

} // namespace vendrel

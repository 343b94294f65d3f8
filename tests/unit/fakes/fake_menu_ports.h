#pragma once
// Recording fakes of what the menu controller talks to, for the GUI thread only.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ports/list_box_view.h"
#include "ports/sound_player.h"
#include "ports/speech_output.h"

namespace vendrel::testing {

// Behaves as the system list box does for the calls the controller makes.
class FakeListBoxView final : public ListBoxView {
public:
    std::vector<std::u16string> lines;
    std::int32_t selection = -1;
    int refills = 0;
    int beeps = 0;

    void setLines(const std::vector<std::u16string>& newLines) override {
        lines = newLines;
        selection = -1;
        ++refills;
    }
    void appendLine(const std::u16string& text) override { lines.push_back(text); }
    void deleteLine(std::int32_t index) override {
        if (index >= 0 && static_cast<std::size_t>(index) < lines.size()) {
            lines.erase(lines.begin() + index);
            // The selected line goes with its text; a later one moves up with its own.
            selection = selection == index ? -1 : selection > index ? selection - 1 : selection;
        }
    }
    std::int32_t lineCount() override { return static_cast<std::int32_t>(lines.size()); }
    void setSelection(std::int32_t index) override { selection = index; }
    // From the line after the given one round to it, as the system's search, but matching case:
    // a test types what its labels hold.
    std::int32_t findLineWithPrefix(std::int32_t after, const std::u16string& prefix) override {
        const auto count = static_cast<std::int32_t>(lines.size());
        for (std::int32_t step = 1; step <= count; ++step) {
            const std::int32_t line = ((after < 0 ? -1 : after) + step) % count;
            if (lines[static_cast<std::size_t>(line)].starts_with(prefix)) {
                return line;
            }
        }
        return -1;
    }
    void beep() override { ++beeps; }
};

class RecordingSounds final : public SoundPlayer {
public:
    std::vector<std::pair<std::string, int>> played;

    Handle playSound(const std::string& parameters, int channel) override {
        played.emplace_back(parameters, channel);
        return 0;
    }
    void setLooping(Handle) override {}
    void stop(Handle) override {}
    bool isPlaying(Handle) override { return false; }
    bool isSoundLoaded(const std::string&) override { return false; }
};

class RecordingSpeech final : public SpeechOutput {
public:
    bool speaksMenus = false;
    std::vector<std::pair<std::u16string, bool>> said;
    std::vector<std::u16string> brailled;

    void say(const std::u16string& text, bool interrupt) override {
        said.emplace_back(text, interrupt);
    }
    void braille(const std::u16string& text) override { brailled.push_back(text); }
    bool engineSpeaksMenus() override { return speaksMenus; }
};

} // namespace vendrel::testing

#pragma once
// Recording fakes of what the menu controller talks to, for the GUI thread only.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "menu/local_menus.h"
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
    std::vector<std::string> edits; // "append", "delete 3"

    void setLines(const std::vector<std::u16string>& newLines) override {
        lines = newLines;
        selection = -1;
        ++refills;
    }
    void appendLine(const std::u16string& text) override {
        lines.push_back(text);
        edits.push_back("append");
    }
    void deleteLine(std::int32_t index) override {
        edits.push_back("delete " + std::to_string(index));
        if (index >= 0 && static_cast<std::size_t>(index) < lines.size()) {
            lines.erase(lines.begin() + index);
            // The selected line goes with its text; a later one moves up with its own.
            selection = selection == index ? -1 : selection > index ? selection - 1 : selection;
        }
    }
    std::int32_t lineCount() override { return static_cast<std::int32_t>(lines.size()); }
    void setSelection(std::int32_t index) override { selection = index; }
    std::int32_t findLineWithPrefix(std::int32_t after, const std::u16string& prefix) override {
        const auto count = static_cast<std::int32_t>(lines.size());
        for (std::int32_t step = 1; step <= count; ++step) {
            const std::int32_t line = ((after < 0 ? -1 : after) + step) % count;
            if (startsWithIgnoringCase(lines[static_cast<std::size_t>(line)], prefix)) {
                return line;
            }
        }
        return -1;
    }
    void beep() override { ++beeps; }

private:
    static char16_t fold(char16_t c) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    }
    static bool startsWithIgnoringCase(const std::u16string& text, const std::u16string& prefix) {
        if (text.size() < prefix.size()) {
            return false;
        }
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (fold(text[i]) != fold(prefix[i])) {
                return false;
            }
        }
        return true;
    }
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

class RecordingLocalMenus final : public LocalMenus {
public:
    std::vector<std::string> calls;

    bool openLocalMenu(MenuController&, std::int32_t commandId, std::int32_t selection) override {
        calls.push_back("open " + std::to_string(commandId) + " " + std::to_string(selection));
        return commandId == 1012;
    }
    void localMenuChoice(MenuController&, std::int32_t commandId, std::int32_t index) override {
        calls.push_back("choice " + std::to_string(commandId) + " " + std::to_string(index));
    }
    void localMenuKey(MenuController&, std::int32_t commandId, int virtualKey, bool shift,
                      bool ctrl, bool alt) override {
        calls.push_back("key " + std::to_string(commandId) + " " + std::to_string(virtualKey) +
                        (shift ? " shift" : "") + (ctrl ? " ctrl" : "") + (alt ? " alt" : ""));
    }
};

} // namespace vendrel::testing

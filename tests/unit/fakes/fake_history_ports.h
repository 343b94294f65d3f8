#pragma once
// The history's ports as recording fakes, and the program's real presets read from the
// resource script, so the tests load what vendrel.exe carries.

#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "ports/history_pane.h"
#include "ports/system_dialogs.h"

namespace vendrel::testing {

class FakeHistoryPane final : public HistoryPane {
public:
    std::vector<std::vector<HistorySegment>> lines;
    std::optional<std::string> rtf = "{\\rtf1 pane}";

    void appendLine(const std::vector<HistorySegment>& segments) override {
        lines.push_back(segments);
    }
    void clear() override { lines.clear(); }
    // The pane's first line is empty; each line is its segments' texts.
    std::u16string text() override {
        std::u16string all;
        for (const auto& line : lines) {
            all += u"\r\n";
            for (const auto& segment : line) {
                all += segment.text;
            }
        }
        return all;
    }
    std::optional<std::string> richText() override { return rtf; }
};

class FakeSystemDialogs final : public SystemDialogs {
public:
    std::optional<SaveFileChoice> answer; // what the player picks; nothing cancels
    std::vector<std::vector<FileType>> offered;

    std::optional<SaveFileChoice> askSaveFile(const std::u16string&,
                                              const std::vector<FileType>& types,
                                              const std::u16string&) override {
        offered.push_back(types);
        return answer;
    }
    std::optional<FontChoice> chooseFont(const FontChoice&) override { return std::nullopt; }
    std::uint32_t chooseColour(std::uint32_t initial) override { return initial; }
    std::optional<std::string> chooseFolder(const std::u16string&, const std::string&) override {
        return std::nullopt;
    }
};

// Each "name RCDATA BEGIN words END" block of resources/presets.rc as the bytes windres
// makes of it: little-endian 32-bit words.
inline void loadProgramPresets(FakePlatform& platform) {
#ifdef VENDREL_PRESETS_RC_WIN
    std::ifstream file(VENDREL_PRESETS_RC_WIN);
#else
    std::ifstream file(VENDREL_PRESETS_RC);
#endif
    std::stringstream text;
    text << file.rdbuf();
    const std::string script = std::regex_replace(text.str(), std::regex(R"(/\*[^*]*\*/)"), "");
    const std::regex block(R"((\w+)\s+RCDATA\s+BEGIN([^E]*)END)");
    const std::regex number(R"(0x([0-9A-Fa-f]+)L)");
    for (std::sregex_iterator b(script.begin(), script.end(), block), end; b != end; ++b) {
        std::string bytes;
        const std::string words = (*b)[2];
        for (std::sregex_iterator n(words.begin(), words.end(), number); n != end; ++n) {
            const auto value = static_cast<std::uint32_t>(std::stoul((*n)[1], nullptr, 16));
            for (int k = 0; k < 4; ++k) {
                bytes.push_back(static_cast<char>(value >> (8 * k) & 0xFF));
            }
        }
        platform.presets[(*b)[1]] = bytes;
    }
}

} // namespace vendrel::testing

#pragma once
// The system's common dialogs: save file, font and colour choosers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrel {

struct FileType {
    std::u16string description; // "Text files (*.txt)"
    std::u16string pattern;     // "*.txt"
};

struct SaveFileChoice {
    std::string path;      // UTF-8
    std::size_t typeIndex; // 0 for the first type offered
};

struct FontChoice {
    std::u16string face;
    std::int32_t points = 0;
};

class SystemDialogs {
public:
    virtual ~SystemDialogs() = default;

    // GUI thread, all of them; each returns when the player has closed the dialog.
    // Asks for a file to write, confirming before an existing one is replaced; nothing when
    // cancelled.
    [[nodiscard]] virtual std::optional<SaveFileChoice>
    askSaveFile(const std::u16string& title, const std::vector<FileType>& types,
                const std::u16string& defaultExtension) = 0;
    // Sizes offered from 4 to 36 points; nothing when cancelled.
    [[nodiscard]] virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) = 0;
    // The colour chosen, or the initial colour when cancelled.
    [[nodiscard]] virtual std::uint32_t chooseColour(std::uint32_t initial) = 0;
    // A folder (UTF-8), starting at the initial one; nothing when cancelled.
    [[nodiscard]] virtual std::optional<std::string> chooseFolder(const std::u16string& title,
                                                                  const std::string& initial) = 0;
};

} // namespace vendrel

#pragma once
// The system's common dialogs over the main window, and the one font record both the main
// window and the font chooser build.

#include <windows.h>

#include <array>

#include "ports/system_dialogs.h"

namespace vendrel::win {

class MainWindowShell;

// A proportional Swiss face of the size in points on the window's screen; the face is cut to
// what the record holds (31 characters).
[[nodiscard]] LOGFONTW makeLogFont(HWND window, std::u16string_view face, int points);

class WinSystemDialogs final : public SystemDialogs {
public:
    explicit WinSystemDialogs(MainWindowShell& window) : window_(window) {}

    std::optional<SaveFileChoice> askSaveFile(const std::u16string& title,
                                              const std::vector<FileType>& types,
                                              const std::u16string& defaultExtension) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;
    std::uint32_t chooseColour(std::uint32_t initial) override;
    std::optional<std::string> chooseFolder(const std::u16string& title,
                                            const std::string& initial) override;

private:
    [[nodiscard]] HWND owner() const;

    MainWindowShell& window_;
    // The chooser's 16 custom colours, shared by every colour choice of the run.
    std::array<COLORREF, 16> customColours_{};
};

} // namespace vendrel::win

#include "system_dialogs.h"

#include <commdlg.h>

#include "main_window.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
constexpr DWORD kFontFlags =
    CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_LIMITSIZE | CF_FORCEFONTEXIST;
constexpr DWORD kColourFlags = CC_RGBINIT | CC_SOLIDCOLOR | CC_ANYCOLOR;
constexpr int kSmallestPoints = 4;
constexpr int kLargestPoints = 36;
constexpr std::size_t kFileNameCapacity = 512;

} // namespace

LOGFONTW makeLogFont(HWND window, std::u16string_view face, int points) {
    LOGFONTW font{};
    HDC dc = GetDC(window);
    font.lfHeight = MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(window, dc);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const std::wstring wideFace = toWin(face).substr(0, LF_FACESIZE - 1);
    wideFace.copy(font.lfFaceName, wideFace.size());
    return font;
}

HWND WinSystemDialogs::owner() const {
    return window_.hwnd();
}

std::optional<SaveFileChoice>
WinSystemDialogs::askSaveFile(const std::u16string& title, const std::vector<FileType>& types,
                              const std::u16string& defaultExtension) {
    // Description, NUL, pattern, NUL, ... and a second NUL at the end.
    std::wstring filter;
    for (const FileType& type : types) {
        filter += toWin(type.description) + L'\0' + toWin(type.pattern) + L'\0';
    }
    filter += L'\0';
    std::wstring file(kFileNameCapacity, L'\0');
    const std::wstring wideTitle = toWin(title);
    const std::wstring extension = toWin(defaultExtension);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = wideTitle.c_str();
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = kSaveFlags;
    if (!GetSaveFileNameW(&dialog)) {
        return std::nullopt;
    }
    file.resize(file.find(L'\0'));
    return SaveFileChoice{winToUtf8(file),
                          dialog.nFilterIndex > 0 ? dialog.nFilterIndex - 1 : std::size_t{0}};
}

std::optional<FontChoice> WinSystemDialogs::chooseFont(const FontChoice& initial) {
    LOGFONTW font = makeLogFont(owner(), initial.face, initial.points);
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner();
    dialog.lpLogFont = &font;
    dialog.iPointSize = initial.points * 10;
    dialog.Flags = kFontFlags;
    dialog.nSizeMin = kSmallestPoints;
    dialog.nSizeMax = kLargestPoints;
    if (!ChooseFontW(&dialog)) {
        return std::nullopt;
    }
    return FontChoice{fromWin(font.lfFaceName), dialog.iPointSize / 10};
}

std::uint32_t WinSystemDialogs::chooseColour(std::uint32_t initial) {
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner();
    dialog.rgbResult = initial;
    dialog.lpCustColors = customColours_.data();
    dialog.Flags = kColourFlags;
    return ChooseColorW(&dialog) ? dialog.rgbResult : initial;
}

} // namespace vendrel::win

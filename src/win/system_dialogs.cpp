#include "system_dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

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

namespace {

// Starts the browser in the folder it was given; a typed name that names no folder beeps and
// keeps the browser open.
int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start != 0) {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, start);
    } else if (message == BFFM_VALIDATEFAILEDW) {
        MessageBeep(0);
        return 1;
    }
    return 0;
}

} // namespace

std::optional<std::string> WinSystemDialogs::chooseFolder(const std::u16string& title,
                                                          const std::string& initial) {
    const std::wstring wideTitle = toWin(title);
    const std::wstring start = utf8ToWin(initial);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner();
    browse.lpszTitle = wideTitle.c_str();
    browse.ulFlags =
        BIF_EDITBOX | BIF_VALIDATE | BIF_STATUSTEXT | BIF_NONEWFOLDERBUTTON | BIF_RETURNONLYFSDIRS;
    browse.lpfn = browseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) {
        return std::nullopt;
    }
    // Wide paths: a folder whose name the system's code page cannot hold works too.
    std::wstring path(32768, L'\0');
    const bool isFolder =
        SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), 0);
    CoTaskMemFree(chosen);
    if (!isFolder) {
        return std::nullopt;
    }
    path.resize(path.find(L'\0'));
    return winToUtf8(path);
}

} // namespace vendrel::win

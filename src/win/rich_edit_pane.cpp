#include "rich_edit_pane.h"

#include <richedit.h>

#include "win_text.h"

namespace vendrel::win {
namespace {

constexpr LPARAM kTextLimit = 0xFFFFFF;
constexpr DWORD kSegmentMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT |
                               CFM_PROTECTED | CFM_LINK | CFM_SUPERSCRIPT | CFM_SUBSCRIPT;

LONG textLength(HWND pane) {
    GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return static_cast<LONG>(
        SendMessageW(pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
}

void select(HWND pane, LONG start, LONG end) {
    CHARRANGE range{start, end};
    SendMessageW(pane, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void insert(HWND pane, const wchar_t* text) {
    SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

DWORD CALLBACK collect(DWORD_PTR cookie, LPBYTE bytes, LONG count, LONG* done) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(bytes),
                                                   static_cast<std::size_t>(count));
    *done = count;
    return 0;
}

} // namespace

void RichEditPane::setUp(HWND pane, bool allowAutoLinks, int background) {
    SendMessageW(pane, EM_EXLIMITTEXT, 0, kTextLimit);
    SendMessageW(pane, EM_SETEVENTMASK, 0, ENM_LINK);
    SendMessageW(pane, EM_AUTOURLDETECT, allowAutoLinks ? TRUE : FALSE, 0);
    // Every insertion would otherwise be kept a second time for an undo no one can ask for
    // in a read-only pane.
    SendMessageW(pane, EM_SETUNDOLIMIT, 0, 0);
    setBackground(pane, background);
}

void RichEditPane::setBackground(HWND pane, int background) {
    SendMessageW(pane, EM_SETBKGNDCOLOR, background == -1 ? TRUE : FALSE,
                 background == -1 ? 0 : static_cast<LPARAM>(background));
}

void RichEditPane::appendLine(const std::vector<HistorySegment>& segments) {
    if (!pane_) {
        return;
    }
    CHARRANGE kept{};
    SendMessageW(pane_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    const LONG end = textLength(pane_);
    select(pane_, end, end);
    insert(pane_, L"\r\n");
    for (const HistorySegment& segment : segments) {
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = kSegmentMask | (segment.hasColour ? CFM_COLOR : 0);
        format.dwEffects = segment.effects;
        format.crTextColor = segment.colour;
        SendMessageW(pane_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        insert(pane_, toWin(segment.text).c_str());
    }
    // A reader in the pane keeps their place; otherwise the newest line is in view.
    if (GetFocus() == pane_) {
        SendMessageW(pane_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    } else {
        SendMessageW(pane_, WM_VSCROLL, SB_BOTTOM, 0);
    }
}

void RichEditPane::clear() {
    if (pane_) {
        SetWindowTextW(pane_, L"");
    }
}

std::u16string RichEditPane::text() {
    if (!pane_) {
        return {};
    }
    GETTEXTLENGTHEX length{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    const auto count = static_cast<std::size_t>(
        SendMessageW(pane_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
    std::wstring buffer(count + 1, L'\0');
    GETTEXTEX request{static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), GT_USECRLF, 1200,
                      nullptr, nullptr};
    const auto copied = static_cast<std::size_t>(
        SendMessageW(pane_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                     reinterpret_cast<LPARAM>(buffer.data())));
    buffer.resize(copied < buffer.size() ? copied : 0);
    return fromWin(buffer);
}

std::optional<std::string> RichEditPane::richText() {
    if (!pane_) {
        return std::nullopt;
    }
    std::string rtf;
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&rtf), 0, collect};
    SendMessageW(pane_, EM_STREAMOUT, (CP_UTF8 << 16) | SF_USECODEPAGE | SF_RTF,
                 reinterpret_cast<LPARAM>(&stream));
    // Some versions of the control end the stream with the string's terminating zero, which
    // has no place in a file.
    while (!rtf.empty() && rtf.back() == '\0') {
        rtf.pop_back();
    }
    if (stream.dwError != 0 || rtf.empty()) {
        return std::nullopt;
    }
    return rtf;
}

} // namespace vendrel::win

#include "rich_edit_pane.h"

#include <commctrl.h>
#include <richedit.h>

#include "win_text.h"

namespace vendrel::win {
namespace {

// The core's effect bits go to the control unchanged: they must be the control's own.
static_assert(text_effect::kBold == CFE_BOLD && text_effect::kItalic == CFE_ITALIC &&
              text_effect::kUnderline == CFE_UNDERLINE &&
              text_effect::kStrikeout == CFE_STRIKEOUT &&
              text_effect::kProtected == CFE_PROTECTED && text_effect::kLink == CFE_LINK &&
              text_effect::kSuperscript == CFE_SUPERSCRIPT &&
              text_effect::kSubscript == CFE_SUBSCRIPT &&
              text_effect::kDefaultColour == CFE_AUTOCOLOR);

constexpr LPARAM kTextLimit = 0xFFFFFF;
constexpr UINT_PTR kSubclassId = 0x5645; // beside the main window's own subclass of the pane
constexpr UINT_PTR kRedrawTimer = 0x5645;
// How long the pane may go undrawn while lines keep coming: the longest a new line waits to be
// seen.
constexpr UINT kRedrawDelayMs = 100;
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

void RichEditPane::attach(HWND pane) {
    pane_ = pane;
    if (pane_) {
        SetWindowSubclass(pane_, subclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
}

LRESULT CALLBACK RichEditPane::subclassProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<RichEditPane*>(data);
    if (message == WM_TIMER && wParam == kRedrawTimer) {
        self->resumeRedraw();
        return 0;
    }
    if (message == WM_SETFOCUS) {
        // A reader never lands in a pane that is not drawn.
        self->resumeRedraw();
    } else if (message == WM_NCDESTROY) {
        KillTimer(pane, kRedrawTimer);
        RemoveWindowSubclass(pane, subclassProc, kSubclassId);
        self->pane_ = nullptr;
    }
    return DefSubclassProc(pane, message, wParam, lParam);
}

// Each insertion into a shown pane redraws and scrolls it, which costs far more than the
// insertion itself (tens of milliseconds a line under Wine): the lines of a burst are drawn
// together, at most kRedrawDelayMs after the first. Meanwhile the control has lost its visible
// style, so a pane with the focus is drawn again before its line's call returns.
void RichEditPane::suspendRedraw() {
    if (isRedrawSuspended_ || (GetWindowLongW(pane_, GWL_STYLE) & WS_VISIBLE) == 0) {
        return;
    }
    SendMessageW(pane_, WM_SETREDRAW, FALSE, 0);
    isRedrawSuspended_ = true;
    SetTimer(pane_, kRedrawTimer, kRedrawDelayMs, nullptr);
}

void RichEditPane::resumeRedraw() {
    if (!isRedrawSuspended_) {
        return;
    }
    KillTimer(pane_, kRedrawTimer);
    isRedrawSuspended_ = false;
    SendMessageW(pane_, WM_SETREDRAW, TRUE, 0);
    // The scroll bar too, which moved meanwhile.
    RedrawWindow(pane_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
}

void RichEditPane::appendLine(const std::vector<HistorySegment>& segments) {
    if (!pane_) {
        return;
    }
    const bool isRead = GetFocus() == pane_;
    suspendRedraw();
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
    if (isRead) {
        SendMessageW(pane_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&kept));
        resumeRedraw();
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

// The history pane on the real rich edit control (Wine's, in the tests): the text and formats
// it inserts, the reader's place it keeps, and the drawing it puts off while lines keep coming,
// which must never leave the pane undrawn. The control needs a display: the plain run skips
// these, and a ctest test runs them again on a virtual one.
#ifdef _WIN32

#include "rich_edit_pane.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <string>
#include <vector>

#include "text/utf.h"

namespace vendrel::win {
namespace {

constexpr DWORD kHistoryStyle = 0x5021B84C; // the main window's: read-only, multi-line
constexpr std::uint32_t kEffectsShown =
    text_effect::kBold | text_effect::kItalic | text_effect::kUnderline | text_effect::kStrikeout |
    text_effect::kProtected | text_effect::kLink | text_effect::kSuperscript |
    text_effect::kSubscript | text_effect::kDefaultColour;

class RichEditPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadLibraryW(L"riched20.dll");
        window_ = CreateWindowExW(0, L"STATIC", L"pane test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 500, 300, nullptr, nullptr, nullptr, nullptr);
        if (!window_) {
            GTEST_SKIP() << "needs a display (ctest runs these under xvfb-run)";
        }
        control_ = CreateWindowExW(0, L"RichEdit20W", L"", kHistoryStyle, 0, 0, 480, 200, window_,
                                   nullptr, nullptr, nullptr);
        ASSERT_NE(control_, nullptr);
        RichEditPane::setUp(control_, false, -1);
        pane_.attach(control_);
        SetFocus(window_);
    }
    void TearDown() override {
        if (window_) {
            DestroyWindow(window_);
        }
    }

    void addLines(int count) {
        for (int i = 0; i < count; ++i) {
            pane_.appendLine({{u"line " + toWide(std::to_string(i)), 0, 0, false}});
        }
    }
    // Not hidden: a pane whose drawing is put off has lost its visible style meanwhile.
    bool isShown() const { return (GetWindowLongW(control_, GWL_STYLE) & WS_VISIBLE) != 0; }
    // Shown, with nothing left to paint.
    bool isDrawn() const { return isShown() && !GetUpdateRect(control_, nullptr, FALSE); }
    // Handles the thread's messages, as the program's loop does, until the pane is drawn.
    bool waitDrawn() const {
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (!isDrawn() && GetTickCount64() < deadline) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG message{};
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
        }
        return isDrawn();
    }
    CHARRANGE selection() const {
        CHARRANGE range{};
        SendMessageW(control_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }
    CHARFORMAT2W formatAt(LONG position) {
        CHARRANGE range{position, position + 1};
        SendMessageW(control_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        SendMessageW(control_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return format;
    }
    bool isInView(LONG position) const {
        POINTL point{};
        SendMessageW(control_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), position);
        RECT shown{};
        GetClientRect(control_, &shown);
        return point.y >= 0 && point.y < shown.bottom;
    }
    int firstVisibleLine() const {
        return static_cast<int>(SendMessageW(control_, EM_GETFIRSTVISIBLELINE, 0, 0));
    }

    HWND window_ = nullptr;
    HWND control_ = nullptr;
    RichEditPane pane_;
};

// The effect bits are the control's own: each segment shows exactly those it was given.
TEST_F(RichEditPaneTest, EachSegmentHasItsLookOnANewLine) {
    using namespace text_effect;
    struct Case {
        HistorySegment segment;
        std::uint32_t effects;
        COLORREF colour;
    };
    const Case cases[] = {
        {{u"auto", kDefaultColour, 0x0000FF, true}, kDefaultColour, 0},
        {{u"bold", kBold, 0x0000FF, true}, kBold, 0x0000FF},
        {{u"link", kProtected | kLink | kUnderline, 0x00FF00, true},
         kProtected | kLink | kUnderline,
         0x00FF00},
        {{u"up", kSuperscript | kStrikeout, 0xFF0000, true}, kSuperscript | kStrikeout, 0xFF0000},
        // Without a colour of its own, the segment keeps the one before it.
        {{u"down", kSubscript | kItalic | kDefaultColour, 0x123456, false},
         kSubscript | kItalic,
         0xFF0000},
    };
    std::vector<HistorySegment> line;
    for (const Case& c : cases) {
        line.push_back(c.segment);
    }
    pane_.appendLine(line);
    pane_.appendLine({{u"next", 0, 0, true}});

    EXPECT_EQ(pane_.text(), u"\r\nautoboldlinkupdown\r\nnext");
    LONG position = 1; // after the empty first line's end
    for (const Case& c : cases) {
        const CHARFORMAT2W format = formatAt(position);
        EXPECT_EQ(format.dwEffects & kEffectsShown, c.effects) << toNarrow(c.segment.text);
        if ((c.effects & kDefaultColour) == 0) {
            EXPECT_EQ(format.crTextColor, c.colour) << toNarrow(c.segment.text);
        }
        position += static_cast<LONG>(c.segment.text.size());
    }
}

TEST_F(RichEditPaneTest, AReaderKeepsTheirPlaceInAShownPaneAndOtherwiseTheNewestLineShows) {
    for (const bool isRead : {true, false}) {
        SCOPED_TRACE(isRead ? "read" : "not read");
        pane_.clear();
        addLines(3);
        ASSERT_TRUE(waitDrawn());
        const CHARRANGE place{4, 9};
        SendMessageW(control_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&place));
        SetFocus(isRead ? control_ : window_);
        ASSERT_EQ(GetFocus() == control_, isRead);

        addLines(60);
        if (isRead) {
            // A reader is never left in a pane that is not shown.
            EXPECT_TRUE(isShown());
            EXPECT_EQ(selection().cpMin, place.cpMin);
            EXPECT_EQ(selection().cpMax, place.cpMax);
            EXPECT_TRUE(isInView(place.cpMax));
        } else {
            EXPECT_TRUE(waitDrawn());
            GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
            const auto end = static_cast<LONG>(
                SendMessageW(control_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
            EXPECT_EQ(selection().cpMin, end);
            EXPECT_EQ(selection().cpMax, end);
            EXPECT_GT(firstVisibleLine(), 40);
            EXPECT_TRUE(isInView(end - 1));
        }
    }
}

TEST_F(RichEditPaneTest, FocusArrivingWhileLinesComeFindsThePaneShown) {
    addLines(20);
    SetFocus(control_);
    EXPECT_TRUE(isShown());
    addLines(20);
    EXPECT_TRUE(isShown());
}

} // namespace
} // namespace vendrel::win

#endif

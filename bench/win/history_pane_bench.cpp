// The history pane's cost under Wine, where the rich edit control is slow: the same lines
// appended once through a bare RichEdit20W control and once through the client's own code, side
// by side in one window, in alternating batches so that both see the same state of a shared,
// noisy machine.
//
// The bare control is the floor: the cheapest plain way a program appends a formatted line
// (caret to the end, then one format and one replacement per segment, the line break sent with
// the first; undo off). The client is History::add with the real RichEditPane and the built-in
// presets, so it includes all of the history's own work. A batch is timed from its first line
// until its pane has painted the last one; the GUI thread handles its messages after every
// line, as it does between the server's lines.
//
// With --long KiB, one line of that many kibibytes instead, of words or (--letters) of one
// unbroken word: through the client, which shows it cut, or uncut through the bare control.
// Each in a run of its own: here the bare control took 38 s and 0.8 GB for one word of 64 KiB,
// and was stopped at 6 GB after six minutes of one word of 1 MiB.
//
//   WINEPREFIX=$PWD/build/wineprefix WINEDEBUG=-all xvfb-run -a -s "-screen 0 1280x1024x24"
//       wine build/mingw/bench/win/history_pane_bench.exe
//       [--lines 1000] [--batch 100] [--focused] [--long 1024 [bare]] [--letters]

#include <windows.h>

#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/files.h"
#include "fakes/fake_client_ports.h"
#include "history/history.h"
#include "history/presentation_files.h"
#include "ports/speech_output.h"
#include "rich_edit_pane.h"
#include "system_dialogs.h"
#include "win_environment.h"
#include "win_text.h"

namespace vendrel::win {
namespace {

constexpr DWORD kHistoryStyle = 0x5021B84C; // the main window's: read-only, multi-line
constexpr int kPaneWidth = 620;
constexpr int kPaneHeight = 900;
constexpr std::int32_t kChatChannel = 1;  // the presets' chat: the pane's own text colour
constexpr std::size_t kNameColour = 3;    // the custom colour the mark below selects
const char16_t kNameMark[] = u"\x0e\x11"; // colour mark: code unit 17 - 14 = custom colour 3

double seconds() {
    LARGE_INTEGER count{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// This process's processor time (user and kernel): the wall time less what other programs of
// a shared machine took from it. The X server's drawing is not in it.
double processorSeconds() {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 |
                                   time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
}

void pumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Shown with nothing left to paint, whatever the pane put off.
bool isPainted(HWND pane) {
    return (GetWindowLongW(pane, GWL_STYLE) & WS_VISIBLE) != 0 &&
           !GetUpdateRect(pane, nullptr, FALSE);
}

void waitPainted(HWND pane) {
    pumpMessages();
    while (!isPainted(pane)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pumpMessages();
    }
}

std::u16string numbered(int number) {
    return toWide(" number " + std::to_string(number));
}

std::u16string words(std::size_t length) {
    std::u16string text;
    for (int i = 0; text.size() < length; ++i) {
        text += u"hello there" + numbered(i) + u" ";
    }
    text.resize(length);
    return text;
}

// Both panes as the main window makes its history pane, with its default font.
struct Panes {
    HWND window = nullptr;
    HWND bare = nullptr;
    HWND client = nullptr;
};

Panes createPanes(const ClientSettings& settings) {
    LoadLibraryW(L"riched20.dll");
    Panes panes;
    panes.window =
        CreateWindowExW(0, L"STATIC", L"history pane bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                        2 * kPaneWidth + 40, kPaneHeight + 60, nullptr, nullptr, nullptr, nullptr);
    const LOGFONTW logFont = makeLogFont(panes.window, settings.fontName, settings.fontSize);
    HFONT font = CreateFontIndirectW(&logFont);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_SIZE | CFM_FACE;
    format.yHeight = settings.fontSize * 20;
    std::copy(std::begin(logFont.lfFaceName), std::end(logFont.lfFaceName), format.szFaceName);
    int x = 0;
    for (HWND* pane : {&panes.bare, &panes.client}) {
        *pane = CreateWindowExW(0, L"RichEdit20W", L"", kHistoryStyle, x, 0, kPaneWidth,
                                kPaneHeight, panes.window, nullptr, nullptr, nullptr);
        SendMessageW(*pane, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendMessageW(*pane, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
        x += kPaneWidth + 10;
    }
    // The bare control gets only what it needs: room for long lines, and no undo.
    SendMessageW(panes.bare, EM_EXLIMITTEXT, 0, 0xFFFFFF);
    SendMessageW(panes.bare, EM_SETUNDOLIMIT, 0, 0);
    RichEditPane::setUp(panes.client, settings.allowAutoLinks, settings.rtfBgColor);
    return panes;
}

void setColour(HWND pane, bool isAuto, COLORREF colour) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    format.dwEffects = isAuto ? CFE_AUTOCOLOR : 0;
    format.crTextColor = colour;
    SendMessageW(pane, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void appendBare(HWND pane, const std::wstring& name, COLORREF nameColour,
                const std::wstring& text) {
    const int end = GetWindowTextLengthW(pane);
    SendMessageW(pane, EM_SETSEL, end, end);
    if (!name.empty()) {
        setColour(pane, false, nameColour);
        SendMessageW(pane, EM_REPLACESEL, FALSE,
                     reinterpret_cast<LPARAM>((L"\r\n" + name).c_str()));
    }
    setColour(pane, true, 0);
    SendMessageW(pane, EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>((name.empty() ? L"\r\n" + text : text).c_str()));
}

class NoDialogs final : public SystemDialogs {
public:
    std::optional<SaveFileChoice> askSaveFile(const std::u16string&, const std::vector<FileType>&,
                                              const std::u16string&) override {
        return std::nullopt;
    }
    std::optional<FontChoice> chooseFont(const FontChoice&) override { return std::nullopt; }
    std::uint32_t chooseColour(std::uint32_t initial) override { return initial; }
    std::optional<std::string> chooseFolder(const std::u16string&, const std::string&) override {
        return std::nullopt;
    }
};

// The client's side: the history with its real pane, the built-in presets and the program's
// English texts; speech goes nowhere.
class Client {
public:
    explicit Client(HWND pane) {
        state.platform = &platform;
        if (const auto english = readWholeFile(VENDREL_ENGLISH_LNG)) {
            state.messages.addText(*english);
        }
        loadDefaultViews(state, BuiltInServer::kProtocol);
        loadDefaultChannels(state, BuiltInServer::kProtocol, false);
        richEdit.attach(pane);
    }

    COLORREF nameColour() const { return state.presentation.customColours.at(kNameColour); }
    void add(const std::u16string& line) { history.add(line, kChatChannel); }

private:
    AppState state;
    WinPlatform platform;
    RichEditPane richEdit;
    SilentSpeech speech;
    testing::RecordingShell shell;
    NoDialogs dialogs;
    History history{state, {richEdit, speech, shell, dialogs, [] {
                                return true;
                            }}};
};

struct Options {
    int lines = 1000;
    int batch = 100;
    bool isFocused = false;
    int longKiB = 0;
    bool isLongBare = false;
    bool isLetters = false;
};

struct BatchTime {
    double total = 0;     // from the first line until the pane has painted the last one
    double processor = 0; // this process's processor time meanwhile

    void operator+=(const BatchTime& other) {
        total += other.total;
        processor += other.processor;
    }
};

template <typename Append>
BatchTime timeBatch(HWND pane, int first, int count, const Append& append) {
    const double start = seconds();
    const double processorStart = processorSeconds();
    for (int i = first; i < first + count; ++i) {
        append(i);
        pumpMessages();
    }
    waitPainted(pane);
    return {seconds() - start, processorSeconds() - processorStart};
}

std::wstring paneText(HWND pane) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(pane)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(pane, text.data(), static_cast<int>(text.size()))));
    return text;
}

int firstVisibleLine(HWND pane) {
    return static_cast<int>(SendMessageW(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
}

void printSummary(const Options& options, const BatchTime& bare, const BatchTime& client,
                  std::vector<double> ratios, const Panes& panes) {
    std::sort(ratios.begin(), ratios.end());
    const double lines = options.lines;
    std::printf("per line: bare %.3f ms (cpu %.3f), client %.3f ms (cpu %.3f)\n",
                bare.total * 1000 / lines, bare.processor * 1000 / lines,
                client.total * 1000 / lines, client.processor * 1000 / lines);
    std::printf("client/bare: %.3f over all lines, %.3f the median batch, %.3f in cpu time\n",
                client.total / bare.total, ratios[ratios.size() / 2],
                client.processor / bare.processor);
    std::printf("same text in both panes: %s; first visible line: bare %d, client %d\n",
                paneText(panes.bare) == paneText(panes.client) ? "yes" : "NO",
                firstVisibleLine(panes.bare), firstVisibleLine(panes.client));
}

void compareLines(const Options& options) {
    Panes panes = createPanes(ClientSettings{});
    Client client(panes.client);
    if (options.isFocused) {
        SetFocus(panes.client);
        if (GetFocus() != panes.client) {
            std::printf("warning: the client's pane did not take the focus\n");
        }
    }
    waitPainted(panes.bare);
    waitPainted(panes.client);
    const auto bare = [&](int i) {
        appendBare(panes.bare, L"Name:", client.nameColour(), L"hello there" + toWin(numbered(i)));
    };
    const auto ours = [&](int i) {
        client.add(u"\f" + std::u16string(kNameMark) + u"Name:\fhello there" + numbered(i));
    };
    std::printf("%d lines each in batches of %d, the client's pane %s\n", options.lines,
                options.batch, options.isFocused ? "focused" : "not focused");
    std::printf("%-6s %9s %9s %9s %9s %7s\n", "lines", "bare ms", "(cpu ms)", "client ms",
                "(cpu ms)", "ratio");
    BatchTime bareTotal;
    BatchTime clientTotal;
    std::vector<double> ratios;
    for (int first = 0, round = 0; first < options.lines; first += options.batch, ++round) {
        const int count = std::min(options.batch, options.lines - first);
        BatchTime bareTime;
        BatchTime clientTime;
        // Each side goes first every other round, so neither always meets a busier machine.
        if (round % 2 == 0) {
            bareTime = timeBatch(panes.bare, first, count, bare);
            clientTime = timeBatch(panes.client, first, count, ours);
        } else {
            clientTime = timeBatch(panes.client, first, count, ours);
            bareTime = timeBatch(panes.bare, first, count, bare);
        }
        bareTotal += bareTime;
        clientTotal += clientTime;
        ratios.push_back(clientTime.total / bareTime.total);
        std::printf("%-6d %9.1f %9.1f %9.1f %9.1f %7.3f\n", first + count, bareTime.total * 1000,
                    bareTime.processor * 1000, clientTime.total * 1000, clientTime.processor * 1000,
                    ratios.back());
        std::fflush(stdout);
    }
    printSummary(options, bareTotal, clientTotal, ratios, panes);
}

void timeLongLine(const Options& options) {
    Panes panes = createPanes(ClientSettings{});
    Client client(panes.client);
    const std::size_t length = static_cast<std::size_t>(options.longKiB) * 1024;
    const std::u16string text = options.isLetters ? std::u16string(length, u'x') : words(length);
    HWND pane = options.isLongBare ? panes.bare : panes.client;
    waitPainted(pane);
    const BatchTime time = timeBatch(pane, 0, 1, [&](int) {
        if (options.isLongBare) {
            appendBare(panes.bare, L"", 0, toWin(text));
        } else {
            client.add(text);
        }
    });
    std::printf(
        "one line of %d KiB (%s) through the %s: %.3f s (cpu %.3f s), %d characters shown\n",
        options.longKiB, options.isLetters ? "one word" : "words",
        options.isLongBare ? "bare control, uncut" : "client", time.total, time.processor,
        GetWindowTextLengthW(pane));
}

Options parseOptions(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        const bool hasValue = i + 1 < argc;
        if (name == L"--lines" && hasValue) {
            options.lines = std::max(1, _wtoi(argv[++i]));
        } else if (name == L"--batch" && hasValue) {
            options.batch = std::max(1, _wtoi(argv[++i]));
        } else if (name == L"--focused") {
            options.isFocused = true;
        } else if (name == L"--long" && hasValue) {
            options.longKiB = std::max(1, _wtoi(argv[++i]));
            if (i + 1 < argc && std::wstring(argv[i + 1]) == L"bare") {
                options.isLongBare = true;
                ++i;
            }
        } else if (name == L"--letters") {
            options.isLetters = true;
        } else {
            std::printf("unknown option %ls\n", argv[i]);
            std::exit(2);
        }
    }
    return options;
}

} // namespace
} // namespace vendrel::win

int wmain(int argc, wchar_t** argv) {
    const vendrel::win::Options options = vendrel::win::parseOptions(argc, argv);
    if (options.longKiB > 0) {
        vendrel::win::timeLongLine(options);
    } else {
        vendrel::win::compareLines(options);
    }
    return 0;
}

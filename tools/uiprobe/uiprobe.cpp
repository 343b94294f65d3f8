// uiprobe: reads and drives another program's windows from outside, with the same window
// messages a screen reader or a test robot would use. It prints one JSON document per line,
// in UTF-8, so the end-to-end tests can look at the client the way a player's tools do.
//
//   uiprobe find <class> [title]          top-level windows of a class
//   uiprobe tree <hwnd>                   child windows, recursively, in Z order
//   uiprobe list <hwnd>                   list box items and selection
//   uiprobe dialogs [pid]                 visible dialogs and message boxes
//   uiprobe click <dialog> <button>       press a button (by text or control id)
//   uiprobe close <hwnd>                  post WM_CLOSE
//   uiprobe resize <hwnd> <width> <height> set the outer size of a top-level window
//   uiprobe focus <hwnd>                  active and focused windows of that window's thread
//   uiprobe settext <hwnd> <text>         WM_SETTEXT
//   uiprobe clipboard                     the clipboard's Unicode text
//   uiprobe activate <hwnd>               make a top-level window the active one
//   uiprobe hold                          show an active window of our own until it is closed,
//                                         so the client is in the background meanwhile
//   uiprobe run [--unset V] [--set V=X] [--show N]... -- <exe> [args]
//   uiprobe version <file>                the file's version information
//   uiprobe resources <file>              its embedded manifest and number of icon groups
//   uiprobe shortcut <file.lnk>           a shortcut's target, arguments and working folder
//
// Exit codes: 0 done, 2 bad arguments, 3 window or button not found; `run` returns the
// child's exit code.

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_probe.h"
#include "probe_output.h"

namespace {

using namespace uiprobe;

constexpr UINT kMessageTimeoutMs = 5000;

// ---- Reading windows -----------------------------------------------------------------------

long long handleNumber(HWND window) {
    return static_cast<long long>(reinterpret_cast<ULONG_PTR>(window));
}

bool parseNumber(std::wstring_view text, unsigned long long& value) {
    if (text.empty()) {
        return false;
    }
    const std::wstring copy(text);
    wchar_t* end = nullptr;
    value = wcstoull(copy.c_str(), &end, 0);
    return end != nullptr && *end == L'\0';
}

HWND parseWindow(std::wstring_view text) {
    unsigned long long value = 0;
    if (!parseNumber(text, value)) {
        return nullptr;
    }
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
    return IsWindow(window) ? window : nullptr;
}

std::wstring className(HWND window) {
    wchar_t buffer[256] = {};
    const int length = GetClassNameW(window, buffer, 256);
    return std::wstring(buffer, static_cast<std::size_t>(std::max(length, 0)));
}

// WM_GETTEXT rather than GetWindowTextW: for a window of another process the latter returns
// the caption the system keeps, which is not an edit control's contents. The timeout keeps a
// hung client from hanging the test.
std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
        return {};
    }
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

DWORD windowProcess(HWND window, DWORD* thread = nullptr) {
    DWORD process = 0;
    const DWORD owner = GetWindowThreadProcessId(window, &process);
    if (thread != nullptr) {
        *thread = owner;
    }
    return process;
}

HWND focusOfThread(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::string rectJson(const RECT& rect) {
    return JsonObject()
        .number("x", rect.left)
        .number("y", rect.top)
        .number("width", rect.right - rect.left)
        .number("height", rect.bottom - rect.top)
        .str();
}

std::string childJson(HWND child, HWND parent, HWND focus) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    std::vector<std::string> children;
    for (HWND next = GetWindow(child, GW_CHILD); next != nullptr;
         next = GetWindow(next, GW_HWNDNEXT)) {
        children.push_back(childJson(next, child, focus));
    }
    return JsonObject()
        .number("hwnd", handleNumber(child))
        .text("class", className(child))
        .text("text", windowText(child))
        .number("id", GetDlgCtrlID(child))
        .number("style", static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)))
        .number("exStyle", static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE)))
        .raw("rect", rectJson(rect))
        .flag("visible", IsWindowVisible(child) != FALSE)
        .flag("focused", child == focus)
        .raw("children", jsonArray(children))
        .str();
}

std::string topLevelJson(HWND window) {
    DWORD thread = 0;
    const DWORD process = windowProcess(window, &thread);
    RECT client{};
    GetClientRect(window, &client);
    RECT outer{};
    GetWindowRect(window, &outer);
    // Wine keeps the X11 window id in this property; the tests need it to aim xdotool.
    const auto xid = reinterpret_cast<ULONG_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
    return JsonObject()
        .number("hwnd", handleNumber(window))
        .text("class", className(window))
        .text("title", windowText(window))
        .number("pid", process)
        .number("tid", thread)
        .number("style", static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)))
        .number("exStyle", static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)))
        .flag("visible", IsWindowVisible(window) != FALSE)
        .flag("foreground", GetForegroundWindow() == window)
        .raw("rect", rectJson(outer))
        .raw("client", JsonObject()
                           .number("width", client.right - client.left)
                           .number("height", client.bottom - client.top)
                           .str())
        .number("owner", handleNumber(GetWindow(window, GW_OWNER)))
        .number("xid", static_cast<long long>(xid))
        .str();
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// ---- Commands ------------------------------------------------------------------------------

int findWindows(const std::vector<std::wstring>& args) {
    if (args.empty() || args.size() > 2) {
        return kExitUsage;
    }
    std::vector<std::string> found;
    for (HWND window : topLevelWindows()) {
        if (className(window) != args[0]) {
            continue;
        }
        if (args.size() == 2 && windowText(window) != args[1]) {
            continue;
        }
        found.push_back(topLevelJson(window));
    }
    writeLine(jsonArray(found));
    return 0;
}

int showTree(const std::vector<std::wstring>& args) {
    HWND window = args.size() == 1 ? parseWindow(args[0]) : nullptr;
    if (window == nullptr) {
        return args.size() == 1 ? kExitNotFound : kExitUsage;
    }
    DWORD thread = 0;
    windowProcess(window, &thread);
    const HWND focus = focusOfThread(thread);
    std::vector<std::string> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(childJson(child, window, focus));
    }
    writeLine(JsonObject()
                  .raw("window", topLevelJson(window))
                  .raw("children", jsonArray(children))
                  .str());
    return 0;
}

LRESULT sendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& ok) {
    DWORD_PTR result = 0;
    ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &result) != 0;
    return static_cast<LRESULT>(result);
}

int showList(const std::vector<std::wstring>& args) {
    HWND list = args.size() == 1 ? parseWindow(args[0]) : nullptr;
    if (list == nullptr) {
        return args.size() == 1 ? kExitNotFound : kExitUsage;
    }
    bool ok = true;
    const LRESULT count = sendTimed(list, LB_GETCOUNT, 0, 0, ok);
    std::vector<std::string> items;
    for (LRESULT i = 0; ok && i < count; ++i) {
        const auto index = static_cast<WPARAM>(i);
        const LRESULT length = sendTimed(list, LB_GETTEXTLEN, index, 0, ok);
        std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const LRESULT copied =
            ok ? sendTimed(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()), ok) : 0;
        text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
        items.push_back(jsonString(text));
    }
    bool selectionOk = true;
    const LRESULT selection = sendTimed(list, LB_GETCURSEL, 0, 0, selectionOk);
    const LRESULT top = sendTimed(list, LB_GETTOPINDEX, 0, 0, selectionOk);
    const LRESULT itemHeight = sendTimed(list, LB_GETITEMHEIGHT, 0, 0, selectionOk);
    if (!ok || !selectionOk) {
        writeError("the list box did not answer");
        return kExitNotFound;
    }
    writeLine(JsonObject()
                  .number("hwnd", handleNumber(list))
                  .number("count", count)
                  .number("selection", selection)
                  .number("top", top)
                  .number("itemHeight", itemHeight)
                  .raw("items", jsonArray(items))
                  .str());
    return 0;
}

// Button texts carry '&' mnemonics ("&Yes"); a test names the button as the player reads it.
std::wstring plainLabel(std::wstring_view text) {
    std::wstring result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
        }
        result += static_cast<wchar_t>(std::towlower(text[i]));
    }
    return result;
}

std::string dialogJson(HWND dialog) {
    std::vector<std::string> texts;
    std::vector<std::string> buttons;
    std::vector<std::string> edits;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = plainLabel(className(child));
        const std::wstring text = windowText(child);
        const std::string item = JsonObject()
                                     .number("hwnd", handleNumber(child))
                                     .number("id", GetDlgCtrlID(child))
                                     .text("text", text)
                                     .str();
        if (kind == L"button") {
            buttons.push_back(item);
        } else if (kind == L"edit") {
            edits.push_back(item);
        } else if (kind == L"static" && !text.empty()) {
            texts.push_back(jsonString(text));
        }
    }
    return JsonObject()
        .raw("window", topLevelJson(dialog))
        .raw("texts", jsonArray(texts))
        .raw("buttons", jsonArray(buttons))
        .raw("edits", jsonArray(edits))
        .str();
}

int showDialogs(const std::vector<std::wstring>& args) {
    unsigned long long pid = 0;
    if (args.size() > 1 || (args.size() == 1 && !parseNumber(args[0], pid))) {
        return kExitUsage;
    }
    std::vector<std::string> found;
    for (HWND window : topLevelWindows()) {
        if (className(window) != L"#32770" || !IsWindowVisible(window)) {
            continue;
        }
        if (!args.empty() && windowProcess(window) != pid) {
            continue;
        }
        found.push_back(dialogJson(window));
    }
    writeLine(jsonArray(found));
    return 0;
}

HWND findButton(HWND dialog, std::wstring_view wanted) {
    unsigned long long id = 0;
    const bool byId = parseNumber(wanted, id);
    const std::wstring label = plainLabel(wanted);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (plainLabel(className(child)) != L"button") {
            continue;
        }
        if (byId ? static_cast<unsigned long long>(GetDlgCtrlID(child)) == id
                 : plainLabel(windowText(child)) == label) {
            return child;
        }
    }
    return nullptr;
}

int clickButton(const std::vector<std::wstring>& args) {
    if (args.size() != 2) {
        return kExitUsage;
    }
    HWND dialog = parseWindow(args[0]);
    HWND button = dialog != nullptr ? findButton(dialog, args[1]) : nullptr;
    if (button == nullptr) {
        writeError("no such dialog or button");
        return kExitNotFound;
    }
    const int id = GetDlgCtrlID(button);
    // Posted, not sent: the click ends a modal loop in the other process, and we must not
    // wait on a thread that is about to do more work (or to exit) before it answers.
    PostMessageW(button, BM_CLICK, 0, 0);
    writeLine(JsonObject().number("clicked", id).number("hwnd", handleNumber(button)).str());
    return 0;
}

int closeWindow(const std::vector<std::wstring>& args) {
    HWND window = args.size() == 1 ? parseWindow(args[0]) : nullptr;
    if (window == nullptr) {
        return args.size() == 1 ? kExitNotFound : kExitUsage;
    }
    // Posted: the window may answer WM_CLOSE with a modal confirmation box, which a sent
    // message would wait for.
    PostMessageW(window, WM_CLOSE, 0, 0);
    writeLine(JsonObject().number("closed", handleNumber(window)).str());
    return 0;
}

std::string windowSummary(HWND window) {
    if (window == nullptr) {
        return "null";
    }
    return JsonObject()
        .number("hwnd", handleNumber(window))
        .text("class", className(window))
        .text("text", windowText(window))
        .number("parent", handleNumber(GetAncestor(window, GA_PARENT)))
        .str();
}

int resizeWindow(const std::vector<std::wstring>& args) {
    unsigned long long width = 0;
    unsigned long long height = 0;
    HWND window = args.size() == 3 ? parseWindow(args[0]) : nullptr;
    if (args.size() != 3 || !parseNumber(args[1], width) || !parseNumber(args[2], height)) {
        return kExitUsage;
    }
    if (window == nullptr) {
        return kExitNotFound;
    }
    // The outer size, as a player dragging the border would set it; the window lays itself
    // out again in its WM_SIZE.
    const BOOL ok =
        SetWindowPos(window, nullptr, 0, 0, static_cast<int>(width), static_cast<int>(height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window, &client);
    writeLine(JsonObject()
                  .flag("ok", ok != FALSE)
                  .raw("client", JsonObject()
                                     .number("width", client.right - client.left)
                                     .number("height", client.bottom - client.top)
                                     .str())
                  .str());
    return ok ? 0 : kExitNotFound;
}

int showFocus(const std::vector<std::wstring>& args) {
    HWND window = args.size() == 1 ? parseWindow(args[0]) : GetForegroundWindow();
    if (window == nullptr) {
        return args.size() <= 1 ? kExitNotFound : kExitUsage;
    }
    DWORD thread = 0;
    windowProcess(window, &thread);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(thread, &info)) {
        writeError("GetGUIThreadInfo failed");
        return kExitNotFound;
    }
    writeLine(JsonObject()
                  .number("tid", thread)
                  .raw("active", windowSummary(info.hwndActive))
                  .raw("focus", windowSummary(info.hwndFocus))
                  .raw("capture", windowSummary(info.hwndCapture))
                  .raw("foreground", windowSummary(GetForegroundWindow()))
                  .str());
    return 0;
}

int setText(const std::vector<std::wstring>& args) {
    HWND window = args.size() == 2 ? parseWindow(args[0]) : nullptr;
    if (window == nullptr) {
        return args.size() == 2 ? kExitNotFound : kExitUsage;
    }
    bool ok = true;
    const LRESULT result =
        sendTimed(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[1].c_str()), ok);
    writeLine(JsonObject().flag("ok", ok && result != 0).str());
    return ok ? 0 : kExitNotFound;
}

int showClipboard(const std::vector<std::wstring>& args) {
    if (!args.empty()) {
        return kExitUsage;
    }
    std::wstring text;
    bool isText = false;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = chars;
                isText = true;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    writeLine(JsonObject().flag("isText", isText).raw("text", jsonString(text)).str());
    return 0;
}

int activateWindow(const std::vector<std::wstring>& args) {
    HWND window = args.size() == 1 ? parseWindow(args[0]) : nullptr;
    if (window == nullptr) {
        return args.size() == 1 ? kExitNotFound : kExitUsage;
    }
    const bool ok = SetForegroundWindow(window) != FALSE;
    writeLine(JsonObject().flag("ok", ok).str());
    return 0;
}

LRESULT CALLBACK holdProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int holdForeground(const std::vector<std::wstring>& args) {
    if (!args.empty()) {
        return kExitUsage;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = holdProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"UiprobeHold";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, L"UiprobeHold", L"uiprobe hold", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                        200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return kExitNotFound;
    }
    SetForegroundWindow(window);
    writeLine(JsonObject().number("hwnd", handleNumber(window)).str());
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

int usage() {
    writeError("usage: uiprobe find|tree|list|dialogs|click|close|resize|focus|settext|"
               "clipboard|activate|hold|run|version|resources|shortcut ...");
    return kExitUsage;
}

// ---- run -----------------------------------------------------------------------------------

bool sameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring variableName(std::wstring_view entry) {
    // Entries like "=C:=C:\dir" keep their leading '=' as part of the name.
    const std::size_t equals = entry.find(L'=', 1);
    return std::wstring(entry.substr(0, equals));
}

// The block the child gets: ours, minus the unset names, with the set ones replaced or added,
// sorted without regard to case as the system expects.
std::vector<wchar_t> environmentBlock(const std::vector<std::wstring>& unset,
                                      const std::vector<std::wstring>& set) {
    std::vector<std::wstring> entries;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry != nullptr && *entry != L'\0';
         entry += wcslen(entry) + 1) {
        entries.emplace_back(entry);
    }
    FreeEnvironmentStringsW(strings);
    auto drop = [&entries](std::wstring_view name) {
        std::erase_if(entries,
                      [name](const std::wstring& e) { return sameName(variableName(e), name); });
    };
    for (const auto& name : unset) {
        drop(name);
    }
    for (const auto& assignment : set) {
        drop(variableName(assignment));
        entries.push_back(assignment);
    }
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> block;
    for (const auto& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

// Quoting that CommandLineToArgvW and the C runtime read back to the same argument.
std::wstring quoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, L'\\');
    return result + L"\"";
}

int runProgram(const std::vector<std::wstring>& args) {
    std::vector<std::wstring> unset;
    std::vector<std::wstring> set;
    std::optional<WORD> show;
    std::size_t i = 0;
    for (; i < args.size() && args[i] != L"--"; ++i) {
        unsigned long long number = 0;
        if (args[i] == L"--show" && i + 1 < args.size() && parseNumber(args[i + 1], number)) {
            show = static_cast<WORD>(number);
            ++i;
        } else if (args[i] == L"--unset" && i + 1 < args.size()) {
            unset.push_back(args[++i]);
        } else if (args[i] == L"--set" && i + 1 < args.size() &&
                   args[i + 1].find(L'=', 1) != std::wstring::npos) {
            set.push_back(args[++i]);
        } else {
            return usage();
        }
    }
    if (i + 1 >= args.size()) {
        return usage();
    }
    std::wstring commandLine;
    for (std::size_t k = i + 1; k < args.size(); ++k) {
        commandLine += (k == i + 1 ? L"" : L" ") + quoteArgument(args[k]);
    }
    std::vector<wchar_t> environment = environmentBlock(unset, set);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // As a shortcut set to start the program maximised or minimised does it.
    if (show) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = *show;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                        &process)) {
        writeError("CreateProcessW failed with error " + std::to_string(GetLastError()));
        writeLine(JsonObject().number("error", GetLastError()).str());
        return kExitNotFound;
    }
    // The pid goes out at once: the test aims its dialog and window searches at it.
    writeLine(JsonObject().number("started", process.dwProcessId).str());
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    writeLine(JsonObject().number("pid", process.dwProcessId).number("exitCode", exitCode).str());
    return static_cast<int>(exitCode);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::wstring command = argv[1];
    const std::vector<std::wstring> args(argv + 2, argv + argc);
    struct Command {
        const wchar_t* name;
        int (*handler)(const std::vector<std::wstring>&);
    };
    static constexpr Command kCommands[] = {
        {L"find", findWindows},        {L"tree", showTree},           {L"list", showList},
        {L"dialogs", showDialogs},     {L"click", clickButton},       {L"close", closeWindow},
        {L"focus", showFocus},         {L"settext", setText},         {L"resize", resizeWindow},
        {L"clipboard", showClipboard}, {L"activate", activateWindow}, {L"hold", holdForeground},
        {L"run", runProgram},          {L"version", showVersion},     {L"resources", showResources},
        {L"shortcut", showShortcut},
    };
    for (const auto& entry : kCommands) {
        if (command == entry.name) {
            const int result = entry.handler(args);
            return result == kExitUsage && command != L"run" ? usage() : result;
        }
    }
    return usage();
}

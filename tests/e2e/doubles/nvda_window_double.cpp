// Shows a window of the class and title of NVDA's own until it is closed, so that the client
// under test finds NVDA running. Hidden, as NVDA's is, so the client keeps the foreground.
// Prints {"hwnd":N} once the window exists, for `uiprobe close`.

#include <windows.h>

#include <cstdio>

int wmain() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"wxWindowClassNR";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"wxWindowClassNR", L"NVDA", WS_OVERLAPPED, 0, 0, 100, 100,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    std::printf("{\"hwnd\":%llu}\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    std::fflush(stdout);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

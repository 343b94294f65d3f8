#pragma once
// The main window: history pane on the left, the menu list on the right, the chat line along
// the bottom, and labels that screen readers announce for each.

#include <windows.h>

#include <atomic>
#include <functional>

#include "app/app_state.h"
#include "ports/gui_thread.h"
#include "ports/main_window.h"

namespace vendrel::win {

inline constexpr wchar_t kMainWindowClass[] = L"VendrelClient21"; // screen readers and scripts
                                                                  // know the window by it

class MainWindowShell final : public MainWindow, public GuiThread {
public:
    MainWindowShell(AppState& state, HINSTANCE instance);
    ~MainWindowShell() override;
    MainWindowShell(const MainWindowShell&) = delete;
    MainWindowShell& operator=(const MainWindowShell&) = delete;

    [[nodiscard]] static bool registerClass(HINSTANCE instance);
    // Creates the window and its controls; the results are not examined, as a missing control
    // still leaves a usable window.
    void create();
    void show();
    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    [[nodiscard]] HWND historyPane() const { return historyPane_; }
    [[nodiscard]] HWND chatLine() const { return chatLine_; }
    [[nodiscard]] bool isActive() const { return isActive_; }
    void focusMenuList();

    // MainWindow
    void setTitle(const std::u16string& title) override;
    // GuiThread
    bool run(const std::function<void()>& work) override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK historyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data);
    static LRESULT CALLBACK chatProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createChildren();
    void createMenuList();
    void applyFont(const std::u16string& face, int points);
    void layout();
    void onCommand(WORD id, WORD code);
    void onSysCommand(WPARAM wParam, LPARAM lParam, bool& handled);
    bool confirmClose();
    void showAbout(HWND owner);
    LRESULT listColours(HDC dc);
    void measureListItem(MEASUREITEMSTRUCT& item);
    void drawListItem(const DRAWITEMSTRUCT& item);

    AppState& state_;
    HINSTANCE instance_;
    DWORD guiThreadId_;
    HWND hwnd_ = nullptr;
    HWND historyLabel_ = nullptr;
    HWND historyPane_ = nullptr;
    HWND chatLabel_ = nullptr;
    HWND chatLine_ = nullptr;
    HWND menuLabel_ = nullptr;
    HWND menuList_ = nullptr;
    HWND lastFocused_ = nullptr;
    HFONT mainFont_ = nullptr;
    HBRUSH listBrush_ = nullptr;
    COLORREF listBrushColour_ = CLR_INVALID;
    std::atomic<bool> isActive_{false};
};

} // namespace vendrel::win

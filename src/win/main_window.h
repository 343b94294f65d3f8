#pragma once
// The main window: history pane on the left, the menu list on the right, the chat line along
// the bottom, and labels that screen readers announce for each.

#include <windows.h>

#include <richedit.h>

#include <atomic>
#include <functional>

#include "app/app_state.h"
#include "app/control_keys.h"
#include "ports/gui_thread.h"
#include "ports/main_window.h"
#include "ports/window_controls.h"

namespace vendrel {
class Speech;
}

namespace vendrel::win {

class MenuListBox;

inline constexpr wchar_t kMainWindowClass[] = L"VendrelClient21"; // screen readers and scripts
                                                                  // know the window by it

// What the window's keys and commands ask of the rest of the client. Every one runs on the GUI
// thread; an empty one does nothing (its owner is not built yet).
struct MainWindowActions {
    std::function<void()> sendChatLine;
    std::function<void(int step)> recallChatLine;
    std::function<void(int virtualKey, Modifiers modifiers)> gameKey;
    std::function<void(int delta)> reviewHistory;
    std::function<bool()> sendF10; // false when not logged in
    std::function<void()> sendQuit;
    std::function<void(int id)> openLocalMenu;
    // Command ids whose owners live elsewhere (volumes, speech, history, views).
    std::function<void(int id)> command;
    // A click on a link in the history pane, with the link's text.
    std::function<void(const std::u16string& text)> openLink;
    // Every setting back to its default and re-applied everywhere (restoreDefaults).
    std::function<void()> restoreDefaults;
};

class MainWindowShell final : public MainWindow, public GuiThread, public WindowControls {
public:
    MainWindowShell(AppState& state, HINSTANCE instance);
    ~MainWindowShell() override;
    MainWindowShell(const MainWindowShell&) = delete;
    MainWindowShell& operator=(const MainWindowShell&) = delete;

    [[nodiscard]] static bool registerClass(HINSTANCE instance);
    // Creates the window and its controls; the results are not examined, as a missing control
    // still leaves a usable window.
    void create();
    // The first show, with the command the program was started with.
    void show(int showCommand);
    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    [[nodiscard]] HWND historyPane() const { return historyPane_; }
    [[nodiscard]] HWND chatLine() const { return chatLine_; }
    [[nodiscard]] bool isActive() const { return isActive_; }
    void setActions(MainWindowActions actions) { actions_ = std::move(actions); }
    // Before create: the menu list box, which the window creates, sizes and draws.
    void setMenuList(MenuListBox& list) { menuListBox_ = &list; }
    // Before create: the voice the speech commands change.
    void setSpeech(Speech& speech) { speech_ = &speech; }
    // Restores the defaults (the restoreDefaults action) with the focus kept where it was.
    void restoreDefaults();
    // The window's part of restoring the defaults: font, history colour, list box.
    void reapplyDefaults();
    // WindowControls
    bool applyFont(const std::u16string& face, std::int32_t points) override;
    void setHistoryBackground(std::int32_t colour) override;
    void setAutomaticLinks(bool isOn) override;
    void recreateMenuList() override;
    void redrawMenuList() override;
    void focusMenuList() override;

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
    // Carries out a key action of the chat line or history pane; false lets the control have
    // the message.
    bool perform(KeyAction action, int virtualKey, Modifiers modifiers);
    void showHistoryMenu(LPARAM position);

    void createChildren();
    void createMenuList();
    void layout();
    void onDpiChanged(const RECT& suggested);
    void onLinkClicked(const ENLINK& link);
    void onCommand(WORD id, WORD code);
    void onSysCommand(WPARAM wParam, LPARAM lParam, bool& handled);
    bool confirmClose();

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
    std::atomic<bool> isActive_{false};
    MainWindowActions actions_;
    HMENU historyMenu_ = nullptr;
    MenuListBox* menuListBox_ = nullptr;
    Speech* speech_ = nullptr;
};

} // namespace vendrel::win

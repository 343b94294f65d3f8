#pragma once
// The history pane's rich edit control as the history sees it.

#include <windows.h>

#include "ports/history_pane.h"

namespace vendrel::win {

class RichEditPane final : public HistoryPane {
public:
    // Settings of a pane at creation: the text limit, link notifications, automatic links,
    // the background (-1 for the system's window colour) and no undo buffer.
    static void setUp(HWND pane, bool allowAutoLinks, int background);
    static void setBackground(HWND pane, int background);

    // Once the control exists; before that, lines are dropped.
    void attach(HWND pane);

    void appendLine(const std::vector<HistorySegment>& segments) override;
    void clear() override;
    std::u16string text() override;
    std::optional<std::string> richText() override;

private:
    static LRESULT CALLBACK subclassProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data);
    void suspendRedraw();
    void resumeRedraw();

    HWND pane_ = nullptr;
    bool isRedrawSuspended_ = false;
};

} // namespace vendrel::win

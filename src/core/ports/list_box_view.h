#pragma once
// The menu list box as the menu controller sees it: lines of text, one selected line, and the
// refusal beep. Line i always shows item i of the current menu.

#include <cstdint>
#include <string>
#include <vector>

namespace vendrel {

class ListBoxView {
public:
    virtual ~ListBoxView() = default;

    // GUI thread, all of them.
    // Replaces every line (redrawing once at the end); no line is selected afterwards.
    virtual void setLines(const std::vector<std::u16string>& lines) = 0;
    virtual void appendLine(const std::u16string& text) = 0;
    virtual void deleteLine(std::int32_t index) = 0;
    [[nodiscard]] virtual std::int32_t lineCount() = 0;
    // Selects and shows the line; -1 selects none.
    virtual void setSelection(std::int32_t index) = 0;
    // The first line after `after` (wrapping round; -1 searches from the top) whose text
    // begins with the prefix, ignoring case as the system list box does; -1 when none.
    [[nodiscard]] virtual std::int32_t findLineWithPrefix(std::int32_t after,
                                                          const std::u16string& prefix) = 0;
    // The default system beep for a typed character that matches nothing.
    virtual void beep() = 0;
};

} // namespace vendrel

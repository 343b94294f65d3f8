#pragma once
// The history pane as the history sees it: a read-only rich text control that lines are
// appended to, one formatted segment after another.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrel {

// The rich text control's own character effect bits, passed through unchanged.
namespace text_effect {
inline constexpr std::uint32_t kBold = 0x1;
inline constexpr std::uint32_t kItalic = 0x2;
inline constexpr std::uint32_t kUnderline = 0x4;
inline constexpr std::uint32_t kStrikeout = 0x8;
inline constexpr std::uint32_t kProtected = 0x10;
inline constexpr std::uint32_t kLink = 0x20;
inline constexpr std::uint32_t kSubscript = 0x10000;
inline constexpr std::uint32_t kSuperscript = 0x20000;
inline constexpr std::uint32_t kDefaultColour = 0x40000000; // the pane's own text colour
} // namespace text_effect

struct HistorySegment {
    std::u16string text;
    std::uint32_t effects = 0; // text_effect bits
    std::uint32_t colour = 0;  // 0x00BBGGRR
    bool hasColour = true;     // false: the colour (and kDefaultColour) is left as it is
};

class HistoryPane {
public:
    virtual ~HistoryPane() = default;

    // GUI thread, all of them.
    // Starts a new line at the end and appends the segments to it. A reader in the pane keeps
    // their place; otherwise the pane scrolls to the new line.
    virtual void appendLine(const std::vector<HistorySegment>& segments) = 0;
    virtual void clear() = 0;
    // Everything the pane shows, lines ended by CR LF.
    [[nodiscard]] virtual std::u16string text() = 0;
    // The pane's content as the control writes it as rich text (UTF-8 code page); nothing
    // when the control could not write it.
    [[nodiscard]] virtual std::optional<std::string> richText() = 0;
};

} // namespace vendrel

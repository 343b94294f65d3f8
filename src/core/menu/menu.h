#pragma once
// The menu model: what the server (and the client's own options) show in the menu list. A menu
// text is UTF-16 fields separated by U+007F; the reader below walks it the way the server
// expects, so a run of separators counts as one and "null" stands for an empty field.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vendrel {

// Menu flags. Other bits are carried and ignored.
inline constexpr std::uint32_t MENU_KEEP_OPEN = 1;
inline constexpr std::uint32_t MENU_TYPE_AHEAD = 2;
inline constexpr std::uint32_t MENU_AUTO_ACTIVATE = 4;
inline constexpr std::uint32_t MENU_KEYS_TO_MENU = 8;
inline constexpr std::uint32_t MENU_CHECK_MARKS = 16;

inline constexpr char16_t kFieldSeparator = u'\x7f';
// A label of exactly one blank is a separator line: drawn empty, never selectable.
inline constexpr std::u16string_view kSeparatorText = u" ";
// Items a menu text may ask for beyond those it really describes: a count of two billion
// must not make us build two billion empty lines.
inline constexpr std::size_t kMaxEmptyMenuItems = 10000;
// Columns of a grid, capped alike: Home, End and the row and column searches walk a row or a
// column index by index on the GUI thread, and a row two billion wide would hold it for
// seconds.
inline constexpr std::int32_t kMaxMenuColumns = static_cast<std::int32_t>(kMaxEmptyMenuItems);

struct MenuItem {
    std::u16string text;
    std::u16string key;    // sent back with msel and mkey; found again after a -2 selection
    std::u16string sound;  // a sound parameter string, played when the item is selected
    std::u16string colour; // "#n": entry n of the custom colours; anything else the list colour

    [[nodiscard]] bool isSeparator() const { return text == kSeparatorText; }
    bool operator==(const MenuItem&) const = default;
};

struct Menu {
    std::vector<MenuItem> items;
    std::int32_t id = 0; // negative for the client's own menus
    std::int32_t columns = 1;
    std::int32_t selection = 0; // may be out of range until a move re-validates it
    std::uint32_t flags = 0;

    [[nodiscard]] bool hasFlag(std::uint32_t flag) const { return (flags & flag) != 0; }
    [[nodiscard]] bool isValidIndex(std::int64_t index) const {
        return index >= 0 && static_cast<std::uint64_t>(index) < items.size();
    }
    [[nodiscard]] std::int32_t itemCount() const { return static_cast<std::int32_t>(items.size()); }
    [[nodiscard]] bool isGrid() const { return columns > 1; }
};

// Walks fields separated by U+007F; past the end every field is empty.
class FieldReader {
public:
    explicit FieldReader(std::u16string_view text) : text_(text) {}
    [[nodiscard]] std::u16string_view next();
    [[nodiscard]] std::int32_t nextNumber();
    // True when no further field holds anything.
    [[nodiscard]] bool isAtEnd();

private:
    void skipSeparators();

    std::u16string_view text_;
    std::size_t position_ = 0;
};

// strtol base 0 on a UTF-16 field: sign, 0x, leading 0 octal; 0 when nothing can be read.
[[nodiscard]] std::int32_t fieldNumber(std::u16string_view field);

void parseMenuItem(MenuItem& item, FieldReader& reader);
// Replaces the menu's header fields and items from a menu text.
void parseMenu(Menu& menu, std::u16string_view text);
// Applies an item update text. Positive: an item was appended; negative r: line -r - 1 was
// deleted; 0: an item was replaced.
[[nodiscard]] std::int32_t updateMenuItem(Menu& menu, std::u16string_view text);

} // namespace vendrel

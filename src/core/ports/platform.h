#pragma once
// What the core asks of the operating system outside any window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel {

struct LocalTime {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // of the month, 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // GUI thread. The user's default locale as the C runtime names it
    // ("French_France.1252"); the part before "_" names the language file.
    virtual std::string userLocaleName() = 0;
    // GUI thread. The bytes of a built-in preset the program carries ("defv20000", matched
    // without regard to case); nothing when it carries none by that name.
    [[nodiscard]] virtual std::optional<std::string> presetData(std::string_view name) = 0;
    // GUI thread. The system's colour of window backgrounds, 0x00BBGGRR.
    [[nodiscard]] virtual std::uint32_t windowColour() = 0;
    // Any thread. The local date and time.
    [[nodiscard]] virtual LocalTime localTime() = 0;
    // GUI thread. A modal error box, owned by the main window once it exists; returns when the
    // player has closed it.
    virtual void showError(const std::u16string& caption, const std::u16string& text) = 0;
};

} // namespace vendrel

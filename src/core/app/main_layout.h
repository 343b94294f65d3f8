#pragma once
// Where the main window's controls go for a client area of W x H pixels. Heights may come out
// negative for a tiny window; they are handed to the system as they are.

#include <cstdint>
#include <string>

namespace vendrel {

struct ControlRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ControlRect&) const = default;
};

struct MainLayout {
    ControlRect historyPane;
    ControlRect menuLabel;
    ControlRect menuList;
    ControlRect chatLabel;
    ControlRect chatLine;
};

// History on the left half, the menu list on the right half, the chat line along the bottom.
[[nodiscard]] MainLayout computeMainLayout(int width, int height);

inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionPatch = 1;

struct AppState;
// "winTitle1" with the version.
[[nodiscard]] std::u16string mainWindowTitle(AppState& state);
// The About box's text: "about3" and the version, then two lines of our own.
[[nodiscard]] std::u16string aboutText(AppState& state);

} // namespace vendrel

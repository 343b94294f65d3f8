#pragma once
// Where the main window's controls go for a client area of W x H pixels. Heights may come out
// negative for a tiny window; they are handed to the system as they are.

#include <cstdint>
#include <string>

#include "app/version.h"

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

inline constexpr int kVersionMajor = VENDREL_VERSION_MAJOR;
inline constexpr int kVersionMinor = VENDREL_VERSION_MINOR;
inline constexpr int kVersionPatch = VENDREL_VERSION_PATCH;

struct AppState;
// "winTitle1" with the version.
[[nodiscard]] std::u16string mainWindowTitle(AppState& state);
// The About box's text: "about3" and the version, then two lines of our own.
[[nodiscard]] std::u16string aboutText(AppState& state);

} // namespace vendrel

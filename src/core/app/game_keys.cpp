#include "app/app_state.h"

namespace vendrel {

GameKeyTable defaultGameKeys() {
    GameKeyTable keys{};
    for (const int code : {10, 13, 32, 46}) {
        keys[static_cast<std::size_t>(code)] = true;
    }
    for (int code = 48; code <= 57; ++code) {
        keys[static_cast<std::size_t>(code)] = true;
    }
    for (int code = 65; code <= 90; ++code) {
        keys[static_cast<std::size_t>(code)] = true;
    }
    // Numeric pad, its operators and F1 to F24, but not the keys the client keeps for itself:
    // F5 to F8 (volumes), F10 (options) and F12 (saving the history).
    for (int code = 96; code <= 135; ++code) {
        keys[static_cast<std::size_t>(code)] = true;
    }
    for (const int code : {116, 117, 118, 119, 121, 123}) {
        keys[static_cast<std::size_t>(code)] = false;
    }
    return keys;
}

} // namespace vendrel

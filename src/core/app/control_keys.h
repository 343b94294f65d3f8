#pragma once
// What the chat line and the history pane do with a key: the Tab ring, history review, sending
// and recalling chat lines, and letters or digits typed with Ctrl or Alt going to the game.

#include <cstdint>

#include "app/virtual_keys.h"

namespace vendrel {

struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

enum class KeyPhase { Down, Up, Character };

enum class KeyAction {
    Default,        // the control's own handling
    Swallow,        // nothing happens
    ReviewPrevious, // history review one line back
    ReviewNext,
    ReviewFirst,
    ReviewLast,
    RecallPrevious, // the chat line's typed-line history
    RecallNext,
    SendChatLine,
    ClearChatLine,
    GameKey, // sent to the game with the modifiers; the key goes no further
    FocusMenuList,
    FocusHistory,
    FocusChatLine,
    OpenLinkAtCaret, // the history pane's Return
};

// For Down and Up, code is the virtual key; for Character, the character code.
[[nodiscard]] KeyAction chatLineKey(KeyPhase phase, int code, Modifiers modifiers);
[[nodiscard]] KeyAction historyPaneKey(KeyPhase phase, int code, Modifiers modifiers);

} // namespace vendrel

#include "app/control_keys.h"

namespace vendrel {
namespace {

bool isLetterOrDigit(int code) {
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z');
}

KeyAction reviewKey(int code, Modifiers modifiers) {
    const bool isToTheEnd = modifiers.ctrl || modifiers.shift;
    if (code == kVkPageUp) {
        return isToTheEnd ? KeyAction::ReviewFirst : KeyAction::ReviewPrevious;
    }
    return isToTheEnd ? KeyAction::ReviewLast : KeyAction::ReviewNext;
}

} // namespace

KeyAction chatLineKey(KeyPhase phase, int code, Modifiers modifiers) {
    switch (phase) {
    case KeyPhase::Down:
        if (code == kVkPageUp || code == kVkPageDown) {
            return reviewKey(code, modifiers);
        }
        if (code == kVkUp) {
            return KeyAction::RecallPrevious;
        }
        if (code == kVkDown) {
            return modifiers.alt ? KeyAction::Swallow : KeyAction::RecallNext;
        }
        if (code == kVkReturn) {
            const bool hasModifier = modifiers.shift || modifiers.ctrl || modifiers.alt;
            return hasModifier ? KeyAction::Swallow : KeyAction::SendChatLine;
        }
        if (code == kVkEscape) {
            return KeyAction::ClearChatLine;
        }
        if (code == kVkTab) {
            return KeyAction::Swallow;
        }
        if (isLetterOrDigit(code) && (modifiers.ctrl || modifiers.alt)) {
            return KeyAction::GameKey;
        }
        return KeyAction::Default;
    case KeyPhase::Up:
        if (code == kVkTab) {
            return modifiers.shift ? KeyAction::FocusMenuList : KeyAction::FocusHistory;
        }
        return code == kVkReturn ? KeyAction::Swallow : KeyAction::Default;
    case KeyPhase::Character:
        // Paste, copy and cut arrive as control characters and must reach the edit.
        if (code == 22 || code == 3 || code == 24) {
            return KeyAction::Default;
        }
        if (code == '\t' || code == '\r') {
            return KeyAction::Swallow;
        }
        // Exactly one of Ctrl and Alt made a game key; both together are AltGr, which types.
        if (modifiers.ctrl != modifiers.alt) {
            return KeyAction::Swallow;
        }
        return KeyAction::Default;
    }
    return KeyAction::Default;
}

KeyAction historyPaneKey(KeyPhase phase, int code, Modifiers modifiers) {
    switch (phase) {
    case KeyPhase::Down:
        if (code == kVkReturn) {
            return KeyAction::OpenLinkAtCaret;
        }
        if (code == kVkTab) {
            return KeyAction::Swallow;
        }
        if (code == kVkPageUp || code == kVkPageDown) {
            return reviewKey(code, modifiers);
        }
        // Ctrl+C alone copies the selection, as in any text.
        if (isLetterOrDigit(code) &&
            !(code == 'C' && modifiers.ctrl && !modifiers.shift && !modifiers.alt)) {
            return KeyAction::GameKey;
        }
        return KeyAction::Default;
    case KeyPhase::Up:
        if (code == kVkTab) {
            return modifiers.shift ? KeyAction::FocusChatLine : KeyAction::FocusMenuList;
        }
        return KeyAction::Default;
    case KeyPhase::Character:
        return KeyAction::Swallow;
    }
    return KeyAction::Default;
}

} // namespace vendrel

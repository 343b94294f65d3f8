#include "app/control_keys.h"

#include <gtest/gtest.h>

namespace vendrel {
namespace {

constexpr Modifiers kNone{};
constexpr Modifiers kShift{true, false, false};
constexpr Modifiers kCtrl{false, true, false};
constexpr Modifiers kAlt{false, false, true};
constexpr Modifiers kAltGr{false, true, true};
constexpr Modifiers kCtrlShift{true, true, false};

struct Case {
    KeyPhase phase;
    int code;
    Modifiers modifiers;
    KeyAction expected;
};

TEST(ControlKeys, ChatLine) {
    const Case cases[] = {
        {KeyPhase::Down, kVkPageUp, kNone, KeyAction::ReviewPrevious},
        {KeyPhase::Down, kVkPageUp, kCtrl, KeyAction::ReviewFirst},
        {KeyPhase::Down, kVkPageDown, kShift, KeyAction::ReviewLast},
        {KeyPhase::Down, kVkPageDown, kNone, KeyAction::ReviewNext},
        {KeyPhase::Down, kVkUp, kNone, KeyAction::RecallPrevious},
        {KeyPhase::Down, kVkDown, kNone, KeyAction::RecallNext},
        {KeyPhase::Down, kVkDown, kAlt, KeyAction::Swallow},
        {KeyPhase::Down, kVkReturn, kNone, KeyAction::SendChatLine},
        {KeyPhase::Down, kVkReturn, kShift, KeyAction::Swallow},
        {KeyPhase::Down, kVkEscape, kNone, KeyAction::ClearChatLine},
        {KeyPhase::Down, kVkTab, kShift, KeyAction::Swallow},
        {KeyPhase::Down, 'V', kCtrl, KeyAction::GameKey}, // and the paste still happens below
        {KeyPhase::Down, '7', kAlt, KeyAction::GameKey},
        {KeyPhase::Down, 'A', kShift, KeyAction::Default},
        {KeyPhase::Up, kVkTab, kNone, KeyAction::FocusHistory},
        {KeyPhase::Up, kVkTab, kShift, KeyAction::FocusMenuList},
        {KeyPhase::Up, kVkReturn, kNone, KeyAction::Swallow},
        {KeyPhase::Character, 22, kCtrl, KeyAction::Default},
        {KeyPhase::Character, 3, kCtrl, KeyAction::Default},
        {KeyPhase::Character, 24, kCtrl, KeyAction::Default},
        {KeyPhase::Character, 1, kCtrl, KeyAction::Swallow}, // Ctrl+A types nothing
        {KeyPhase::Character, '\t', kNone, KeyAction::Swallow},
        {KeyPhase::Character, '\r', kNone, KeyAction::Swallow},
        {KeyPhase::Character, 'a', kAlt, KeyAction::Swallow},
        {KeyPhase::Character, 0x20AC, kAltGr, KeyAction::Default}, // the euro sign with AltGr
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chatLineKey(c.phase, c.code, c.modifiers), c.expected)
            << static_cast<int>(c.phase) << " " << c.code;
    }
}

TEST(ControlKeys, HistoryPane) {
    const Case cases[] = {
        {KeyPhase::Down, kVkReturn, kNone, KeyAction::OpenLinkAtCaret},
        {KeyPhase::Down, kVkTab, kNone, KeyAction::Swallow},
        {KeyPhase::Down, kVkPageUp, kCtrlShift, KeyAction::ReviewFirst},
        {KeyPhase::Down, 'C', kCtrl, KeyAction::Default}, // copies
        {KeyPhase::Down, 'C', kCtrlShift, KeyAction::GameKey},
        {KeyPhase::Down, 'C', kNone, KeyAction::GameKey},
        {KeyPhase::Down, '5', kNone, KeyAction::GameKey},
        {KeyPhase::Down, kVkUp, kNone, KeyAction::Default}, // reading line by line
        {KeyPhase::Up, kVkTab, kNone, KeyAction::FocusMenuList},
        {KeyPhase::Up, kVkTab, kShift, KeyAction::FocusChatLine},
        {KeyPhase::Character, 'x', kNone, KeyAction::Swallow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(historyPaneKey(c.phase, c.code, c.modifiers), c.expected)
            << static_cast<int>(c.phase) << " " << c.code;
    }
}

} // namespace
} // namespace vendrel

#include "net/server_command.h"

#include <gtest/gtest.h>

namespace vendrel {
namespace {

TEST(ServerCommand, KeywordsMatchByPrefixInProtocolOrder) {
    struct Case {
        std::string message;
        CommandKind kind;
        std::int32_t number;
        std::string text;
    };
    // \177 (DEL) separates a command's fields.
    const Case cases[] = {
        {"ping", CommandKind::Ping, 0, ""},
        {"pingpong", CommandKind::Ping, 0, ""},
        {"say 3 Hello", CommandKind::Say, 3, "3 Hello"},
        {"say010 x", CommandKind::Say, 8, "x"},
        {"say0x1F y", CommandKind::Say, 31, "y"},
        {"sayxyz", CommandKind::Say, 0, "sayxyz"}, // no blank: the whole message
        {"saidso", CommandKind::SayInterrupt, 0, "saidso"},
        {"play -1 x", CommandKind::Play, -1, "-1 x"},
        {"inbx 5\177T\177P\177", CommandKind::InputBox, 0, "5\177T\177P\177"},
        {"inbm 5", CommandKind::InputBoxMultiLine, 0, "5"},
        {"inbxy", CommandKind::Unknown, 0, ""}, // "inbx " needs its blank
        {"mcls -2", CommandKind::MenuClose, -2, ""},
        {"mmve 7\1772", CommandKind::MenuMove, 0, "7\1772"},
        {"midt 12 msel &&", CommandKind::ReplyIfMenuTop, 12, "msel &&"},
        {"midt 12", CommandKind::ReplyIfMenuTop, 12, "midt 12"},
        {"midc 0 hello", CommandKind::ReplyIfMenuExists, 0, "hello"},
        {"lmnu 1012", CommandKind::LocalMenu, 1012, ""},
        {"webu mailto:a@b", CommandKind::WebLink, 0, "mailto:a@b"},
        {"clng french", CommandKind::ChangeLanguage, 0, "french"},
        {"cn4m 4 0000", CommandKind::ConnectFourMove, 0, "cn4m 4 0000"},
        {"focuschat 3", CommandKind::FocusChat, 3, "3"},
        {"soundstate 7 door", CommandKind::SoundState, 7, "door"},
        {"dwnl sounds/door.ogg 0", CommandKind::Download, 0, "sounds/door.ogg 0"},
        {"flsh3 5", CommandKind::Flash, 3, ""},
        {"quitnow", CommandKind::Quit, 0, ""},
        {"hello", CommandKind::Unknown, 0, ""},
        {"pin", CommandKind::Unknown, 0, ""}, // too short to be anything
        {"say", CommandKind::Unknown, 0, ""},
        {"say99999999999 x", CommandKind::Say, 2147483647, "x"},
    };
    for (const auto& c : cases) {
        const ServerCommand command = parseServerCommand(c.message);
        EXPECT_EQ(command.kind, c.kind) << c.message;
        EXPECT_EQ(command.number, c.number) << c.message;
        EXPECT_EQ(command.text, c.text) << c.message;
    }
    EXPECT_EQ(parseServerCommand("flsh3 5").number2, 5);
    EXPECT_EQ(parseServerCommand("flsh 3 5").number2, 3); // the text starts at the first blank
}

} // namespace
} // namespace vendrel

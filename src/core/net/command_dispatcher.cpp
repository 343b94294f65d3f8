#include "net/command_dispatcher.h"

#include <cstdio>
#include <string>

#include "net/command_effects.h"
#include "net/connection.h"
#include "net/server_command.h"
#include "text/format.h"

namespace vendrel {
namespace {

constexpr std::int32_t kInterruptBit = 1 << 24;
constexpr std::int32_t kCloseAllMenus = -1000000000;

} // namespace

std::string menuReplyText(std::string_view reply, std::int32_t currentMenuId) {
    const std::string id = std::to_string(currentMenuId);
    std::string out;
    out.reserve(reply.size());
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (reply[i] == '&' && i + 1 < reply.size() && reply[i + 1] == '&') {
            out += id;
            ++i;
        } else {
            out.push_back(reply[i]);
        }
    }
    return out;
}

void dispatchCommand(std::string_view message, Connection& connection, CommandEffects& effects) {
    if (message.size() < kMinCommandLength) {
        return;
    }
    const ServerCommand command = parseServerCommand(message);
    switch (command.kind) {
    case CommandKind::Unknown:
        std::printf("Unknown command: %.*s\r\n", static_cast<int>(message.size()), message.data());
        std::fflush(stdout);
        break;
    case CommandKind::Ping:
        connection.sendText("pong");
        break;
    case CommandKind::SayInterrupt:
        effects.historyAdd(command.text, command.number | kInterruptBit);
        break;
    case CommandKind::Say:
        effects.historyAdd(command.text, command.number);
        break;
    case CommandKind::Play:
        effects.playSound(command.text, command.number);
        break;
    case CommandKind::InputBox:
        effects.inputBox(command.text, InputBoxKind::SingleLine);
        break;
    case CommandKind::InputBoxMultiLine:
        effects.inputBox(command.text, InputBoxKind::MultiLine);
        break;
    case CommandKind::InputBoxPassword:
        effects.inputBox(command.text, InputBoxKind::Password);
        break;
    case CommandKind::MenuUpdateItems:
        effects.menuCommand(command.text, 0);
        break;
    case CommandKind::Menu:
        effects.menuCommand(command.text, 1);
        break;
    case CommandKind::MenuUpdate:
        effects.menuCommand(command.text, 2);
        break;
    case CommandKind::MenuClose:
        effects.closeMenus(command.number);
        break;
    case CommandKind::MenuCloseAll:
        effects.closeMenus(kCloseAllMenus);
        break;
    case CommandKind::MenuMove:
        effects.moveMenuSelection(command.text);
        break;
    case CommandKind::ReplyIfMenuTop: {
        const std::int32_t current = effects.currentMenuId();
        if (command.number <= 0 || command.number == current) {
            connection.sendText(menuReplyText(command.text, current));
        }
        break;
    }
    case CommandKind::ReplyIfMenuExists:
        if (effects.menuExists(command.number)) {
            connection.sendText(command.text);
        }
        break;
    case CommandKind::LocalMenu:
        effects.openLocalMenu(command.number);
        break;
    case CommandKind::LocalCommand:
        effects.mainWindowCommand(command.number);
        break;
    case CommandKind::MessageBox:
        effects.messageBox(command.text, false);
        break;
    case CommandKind::MessageBoxBlocking:
        effects.messageBox(command.text, true);
        break;
    case CommandKind::WebLink:
        effects.openLink(command.text);
        break;
    case CommandKind::ChangeLanguage:
        effects.changeLanguage(command.text);
        break;
    case CommandKind::ConnectFourMove:
        effects.boardGameMove(command.text, false);
        break;
    case CommandKind::ReversiMove:
        effects.boardGameMove(command.text, true);
        break;
    case CommandKind::FocusChat:
        effects.focusChat(command.number, command.text);
        break;
    case CommandKind::SoundState:
        if (connection.loggedIn) {
            connection.sendText(formatText(64, "inbx %d\x7f%d", command.number,
                                           effects.isSoundLoaded(command.text) ? 1 : 0));
        }
        break;
    case CommandKind::Download:
        effects.download(command.text);
        break;
    case CommandKind::Flash:
        effects.flashWindow(command.number, command.number2);
        break;
    case CommandKind::Quit:
        connection.active = false;
        connection.close();
        effects.quit();
        break;
    }
}

void runCommands(Connection& connection, CommandEffects& effects) {
    std::string message;
    while (connection.receiveMessage(message)) {
        dispatchCommand(message, connection, effects);
    }
}

} // namespace vendrel

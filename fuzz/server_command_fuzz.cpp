// Any server messages, one per line, through the command parser and the dispatcher into a
// recording effects object, over a logged-in connection on a scripted socket. A recognised
// command must start with its keyword and carry a text taken from the message; an unknown
// or short one must do nothing; and exactly the commands that answer (ping, midt, midc,
// soundstate) may write to the server, with the answer their rule gives.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/debug_log.h"
#include "fakes/fake_socket_system.h"
#include "fuzz_failure.h"
#include "net/command_dispatcher.h"
#include "net/command_effects.h"
#include "net/connection.h"
#include "net/server_command.h"

using vendrel::fuzzing::fail;

namespace {

using vendrel::CommandKind;

// Counts the effects and answers the questions the way a client with menus 3 and 9 open would.
class RecordingEffects final : public vendrel::CommandEffects {
public:
    int calls = 0;
    bool hasQuit = false;

    void historyAdd(const std::string&, std::int32_t) override { ++calls; }
    void playSound(const std::string&, std::int32_t) override { ++calls; }
    void inputBox(const std::string&, vendrel::InputBoxKind) override { ++calls; }
    void menuCommand(const std::string&, int) override { ++calls; }
    void closeMenus(std::int32_t) override { ++calls; }
    void moveMenuSelection(const std::string&) override { ++calls; }
    std::int32_t currentMenuId() override { return 3; }
    bool menuExists(std::int32_t id) override { return id == 3 || id == 9; }
    void openLocalMenu(std::int32_t) override { ++calls; }
    void mainWindowCommand(std::int32_t) override { ++calls; }
    void messageBox(const std::string&, bool) override { ++calls; }
    void openLink(const std::string&) override { ++calls; }
    void changeLanguage(const std::string&) override { ++calls; }
    void boardGameMove(const std::string&, bool) override { ++calls; }
    void focusChat(std::int32_t, const std::string&) override { ++calls; }
    bool isSoundLoaded(const std::string& name) override { return name == "door"; }
    void download(const std::string&) override { ++calls; }
    void flashWindow(std::int32_t, std::int32_t) override { ++calls; }
    void quit() override { hasQuit = true; }
};

// The answer a message must get, or nothing.
std::vector<std::string> expectedAnswers(const vendrel::ServerCommand& command) {
    switch (command.kind) {
    case CommandKind::Ping:
        return {"pong"};
    case CommandKind::ReplyIfMenuTop:
        if (command.number <= 0 || command.number == 3) {
            return {vendrel::menuReplyText(command.text, 3)};
        }
        return {};
    case CommandKind::ReplyIfMenuExists:
        return command.number == 3 || command.number == 9 ? std::vector{command.text}
                                                          : std::vector<std::string>{};
    case CommandKind::SoundState:
        return {"inbx " + std::to_string(command.number) + "\x7f" +
                (command.text == "door" ? "1" : "0")};
    default:
        return {};
    }
}

void checkParse(std::string_view message, const vendrel::ServerCommand& command) {
    if (command.kind == CommandKind::Unknown) {
        return;
    }
    if (message.size() < vendrel::kMinCommandLength ||
        !message.starts_with(vendrel::commandName(command.kind))) {
        fail("a command that does not start with its keyword", message);
    }
    if (!command.text.empty() && !message.ends_with(command.text)) {
        fail("a command's text is not the end of its message", message);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view messages(reinterpret_cast<const char*>(data), size);
    vendrel::DebugLog log;
    vendrel::testing::FakeSocketSystem sockets;
    sockets.plan.push_back(
        {0, {vendrel::testing::acceptedHandshake() + vendrel::testing::serverText("ok")}});
    vendrel::Connection connection(sockets, log);
    if (connection.login("h", 1, "a", "b", {}) != 0) {
        std::abort();
    }
    RecordingEffects effects;
    std::size_t answers = 0;
    std::size_t start = 0;
    while (start <= messages.size() && !effects.hasQuit) {
        std::size_t end = messages.find('\n', start);
        end = end == std::string_view::npos ? messages.size() : end;
        const std::string_view message = messages.substr(start, end - start);
        start = end + 1;

        const vendrel::ServerCommand command = vendrel::parseServerCommand(message);
        checkParse(message, command);
        const int callsBefore = effects.calls;
        vendrel::dispatchCommand(message, connection, effects);
        const bool isQuiet =
            command.kind == CommandKind::Unknown || command.kind == CommandKind::Ping ||
            command.kind == CommandKind::ReplyIfMenuTop ||
            command.kind == CommandKind::ReplyIfMenuExists ||
            command.kind == CommandKind::SoundState || command.kind == CommandKind::Quit;
        if (effects.calls != callsBefore + (isQuiet ? 0 : 1)) {
            fail("a command had another number of effects", message);
        }
        const std::vector<std::string> sent = sockets.sentTexts(0);
        const std::vector<std::string> expected = expectedAnswers(command);
        if (sent.size() != answers + expected.size() ||
            !std::equal(expected.begin(), expected.end(), sent.begin() + answers)) {
            fail("a command answered otherwise", message);
        }
        answers = sent.size();
    }
    return 0;
}

#include "net/command_dispatcher.h"

#include <gtest/gtest.h>

#include "app/debug_log.h"
#include "fakes/fake_socket_system.h"
#include "net/command_effects.h"
#include "net/connection.h"

namespace vendrel {
namespace {

using testing::acceptedHandshake;
using testing::serverText;

class RecordingEffects final : public CommandEffects {
public:
    std::vector<std::string> calls;

    void historyAdd(const std::string& text, std::int32_t channel) override {
        calls.push_back("history " + std::to_string(channel) + " " + text);
    }
    void playSound(const std::string& parameters, std::int32_t channel) override {
        calls.push_back("play " + std::to_string(channel) + " " + parameters);
    }
    void inputBox(const std::string& arguments, InputBoxKind kind) override {
        calls.push_back("input " + std::to_string(static_cast<int>(kind)) + " " + arguments);
    }
    void menuCommand(const std::string& text, int mode) override {
        calls.push_back("menu " + std::to_string(mode) + " " + text);
    }
    void closeMenus(std::int32_t n) override { calls.push_back("close " + std::to_string(n)); }
    std::int32_t currentMenuId() override { return 7; }
    bool menuExists(std::int32_t id) override { return id == 7; }
    void mainWindowCommand(std::int32_t id) override {
        calls.push_back("command " + std::to_string(id));
    }
    void messageBox(const std::string& arguments, bool isBlocking) override {
        calls.push_back(std::string(isBlocking ? "blocking box " : "box ") + arguments);
    }
    void boardGameMove(const std::string& message, bool isReversi) override {
        calls.push_back(std::string(isReversi ? "reversi " : "connect four ") + message);
    }
    void focusChat(std::int32_t flags, const std::string& text) override {
        calls.push_back("focus " + std::to_string(flags) + " " + text);
    }
    bool isSoundLoaded(const std::string& name) override { return name == "door"; }
    void flashWindow(std::int32_t channel, std::int32_t count) override {
        calls.push_back("flash " + std::to_string(channel) + " " + std::to_string(count));
    }
    void quit() override { calls.push_back("quit"); }
};

struct DispatchWorld {
    DebugLog log;
    testing::FakeSocketSystem sockets;
    Connection connection{sockets, log};
    RecordingEffects effects;

    explicit DispatchWorld(std::vector<std::string> serverMessages) {
        std::string incoming = acceptedHandshake() + serverText("ok");
        for (const auto& message : serverMessages) {
            incoming += serverText(message);
        }
        sockets.plan.push_back({0, {incoming}});
        EXPECT_EQ(connection.login("h", 1, "a", "b", {}), 0);
        runCommands(connection, effects);
    }
    std::vector<std::string> replies() const { return sockets.sentTexts(0); }
};

TEST(CommandDispatcher, EffectsInArrivalOrder) {
    DispatchWorld world({"sai3 Hi", "say 3 Hello", "play2 door 0.5", "inbp 5\177T", "menu 7",
                         "mupi 7", "mupd 7", "mcls -2", "mcla", "lcmd 2020", "msgb 1", "msbm 2",
                         "cn4m 4 x", "rv1m 2 y", "focuschat 3 hello", "flsh3 5", "abc", "quit"});
    const std::vector<std::string> expected = {"history 16777219 Hi",
                                               "history 3 3 Hello",
                                               "play 2 door 0.5",
                                               "input 2 5\177T",
                                               "menu 1 7",
                                               "menu 0 7",
                                               "menu 2 7",
                                               "close -2",
                                               "close -1000000000",
                                               "command 2020",
                                               "box 1",
                                               "blocking box 2",
                                               "connect four cn4m 4 x",
                                               "reversi rv1m 2 y",
                                               "focus 3 hello",
                                               "flash 3 5",
                                               "quit"};
    EXPECT_EQ(world.effects.calls, expected);
    EXPECT_FALSE(world.connection.active);
    EXPECT_FALSE(world.connection.loggedIn);
}

TEST(CommandDispatcher, AutomaticReplies) {
    // The top menu is 7; only the sound "door" is loaded.
    DispatchWorld world({"ping", "midt 7 sel &&", "midt 8 no", "midt 0 id=&&&", "midc 7 same &&",
                         "midc 9 no", "soundstate 7 door", "soundstate 0x10 wind"});
    EXPECT_EQ(world.replies(), (std::vector<std::string>{"pong", "sel 7", "id=7&", "same &&",
                                                         "inbx 7\1771", "inbx 16\1770"}));
}

TEST(CommandDispatcher, SoundStateNeedsALogin) {
    DispatchWorld world({});
    world.connection.loggedIn = false;
    dispatchCommand("soundstate 7 door", world.connection, world.effects);
    dispatchCommand("midt 0 still", world.connection, world.effects); // midt does not ask
    EXPECT_EQ(world.replies(), std::vector<std::string>{"still"});
}

} // namespace
} // namespace vendrel

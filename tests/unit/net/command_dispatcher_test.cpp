#include "net/command_dispatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/debug_log.h"
#include "fakes/fake_socket_system.h"
#include "net/command_effects.h"
#include "net/connection.h"

namespace vendrel {
namespace {

using testing::acceptedHandshake;
using testing::serverText;

// Strict: an effect not expected (an unknown command's, say) fails the test.
class MockEffects : public CommandEffects {
public:
    MOCK_METHOD(void, historyAdd, (const std::string&, std::int32_t), (override));
    MOCK_METHOD(void, playSound, (const std::string&, std::int32_t), (override));
    MOCK_METHOD(void, inputBox, (const std::string&, InputBoxKind), (override));
    MOCK_METHOD(void, menuCommand, (const std::string&, int), (override));
    MOCK_METHOD(void, closeMenus, (std::int32_t), (override));
    MOCK_METHOD(void, mainWindowCommand, (std::int32_t), (override));
    MOCK_METHOD(void, messageBox, (const std::string&, bool), (override));
    MOCK_METHOD(void, boardGameMove, (const std::string&, bool), (override));
    MOCK_METHOD(void, focusChat, (std::int32_t, const std::string&), (override));
    MOCK_METHOD(void, flashWindow, (std::int32_t, std::int32_t), (override));
    MOCK_METHOD(void, quit, (), (override));
    std::int32_t currentMenuId() override { return 7; }
    bool menuExists(std::int32_t id) override { return id == 7; }
    bool isSoundLoaded(const std::string& name) override { return name == "door"; }
};

// Logs in to a server that then sends the messages and ends the connection.
struct DispatchWorld {
    DebugLog log;
    testing::FakeSocketSystem sockets;
    Connection connection{sockets, log};
    ::testing::StrictMock<MockEffects> effects;

    explicit DispatchWorld(const std::vector<std::string>& serverMessages) {
        std::string incoming = acceptedHandshake() + serverText("ok");
        for (const auto& message : serverMessages) {
            incoming += serverText(message);
        }
        sockets.plan.push_back({0, {incoming}});
        EXPECT_EQ(connection.login("h", 1, "a", "b", {}), 0);
    }
    std::vector<std::string> replies() const { return sockets.sentTexts(0); }
};

TEST(CommandDispatcher, EffectsInArrivalOrder) {
    DispatchWorld world({"sai3 Hi", "say 3 Hello", "play2 door 0.5", "inbp 5\177T", "menu 7",
                         "mupi 7", "mupd 7", "mcls -2", "mcla", "lcmd 2020", "msgb 1", "msbm 2",
                         "cn4m 4 x", "rv1m 2 y", "focuschat 3 hello", "flsh3 5", "abc", "quit"});
    MockEffects& effects = world.effects;
    const ::testing::InSequence inArrivalOrder;
    EXPECT_CALL(effects, historyAdd("Hi", 3 | 1 << 24)); // an interrupting line
    EXPECT_CALL(effects, historyAdd("3 Hello", 3));
    EXPECT_CALL(effects, playSound("door 0.5", 2));
    EXPECT_CALL(effects, inputBox("5\177T", InputBoxKind::Password));
    EXPECT_CALL(effects, menuCommand("7", 1));
    EXPECT_CALL(effects, menuCommand("7", 0));
    EXPECT_CALL(effects, menuCommand("7", 2));
    EXPECT_CALL(effects, closeMenus(-2));
    EXPECT_CALL(effects, closeMenus(-1000000000));
    EXPECT_CALL(effects, mainWindowCommand(2020));
    EXPECT_CALL(effects, messageBox("1", false));
    EXPECT_CALL(effects, messageBox("2", true));
    EXPECT_CALL(effects, boardGameMove("cn4m 4 x", false));
    EXPECT_CALL(effects, boardGameMove("rv1m 2 y", true));
    EXPECT_CALL(effects, focusChat(3, "hello"));
    EXPECT_CALL(effects, flashWindow(3, 5));
    EXPECT_CALL(effects, quit());
    runCommands(world.connection, world.effects);
    EXPECT_FALSE(world.connection.active);
    EXPECT_FALSE(world.connection.loggedIn);
}

TEST(CommandDispatcher, AutomaticReplies) {
    // The top menu is 7; only the sound "door" is loaded.
    DispatchWorld world({"ping", "midt 7 sel &&", "midt 8 no", "midt 0 id=&&&", "midc 7 same &&",
                         "midc 9 no", "soundstate 7 door", "soundstate 0x10 wind"});
    runCommands(world.connection, world.effects);
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

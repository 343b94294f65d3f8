#include "net/outgoing_commands.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/debug_log.h"
#include "fakes/fake_chat_line.h"
#include "fakes/fake_socket_system.h"
#include "net/chat_history.h"
#include "net/connection.h"

namespace vendrel {
namespace {

TEST(OutgoingCommands, ExactTextsAndLimits) {
    EXPECT_EQ(menuSelectionText(7, 2, u"b"), "msel 7\1772\177b");
    EXPECT_EQ(menuSelectionText(7, 9, std::nullopt), "msel 7\177-1\177-1");
    EXPECT_EQ(menuSelectionText(1, 0, u"é"), "msel 1\1770\177\xC3\xA9");
    EXPECT_EQ(keyText(keyCode(65, true, true, false)), "key 833");
    EXPECT_EQ(keyCode(13, false, false, true), 13 + 1024);
    EXPECT_EQ(menuKeyText(65, 7, 3, u"k"), "mkey 65\1777\1773\177k");
    EXPECT_EQ(chatText("hi"), "chat hi");
    EXPECT_EQ(chatText(std::string(5000, 'x')).size(), 4095u);
    EXPECT_EQ(menuSelectionText(1, 1, std::u16string(600, u'k')).size(), 511u);
    EXPECT_EQ(menuKeyText(1, 1, 1, std::u16string(600, u'k')).size(), 511u);
    EXPECT_EQ(clampSelection(9, 4), 3);
    EXPECT_EQ(clampSelection(-5, 4), 0);
    EXPECT_EQ(clampSelection(2, 0), 0);
}

TEST(OutgoingCommands, SentOnlyWhileLoggedIn) {
    DebugLog log;
    testing::FakeSocketSystem sockets;
    sockets.plan.push_back({0, {testing::acceptedHandshake() + testing::serverText("ok")}});
    Connection connection(sockets, log);
    OutgoingCommands out(connection);
    EXPECT_FALSE(out.sendF10()); // no connection at all
    ASSERT_EQ(connection.login("h", 1, "a", "b", {}), 0);
    EXPECT_TRUE(out.sendF10());
    EXPECT_TRUE(out.sendKey(65, true, true, false));
    EXPECT_TRUE(out.sendMenuKey(13, false, false, false, 7, 3, u"go"));
    EXPECT_TRUE(out.sendMenuSelection(7, 2, u"b"));
    EXPECT_TRUE(out.sendChat("hello"));
    EXPECT_TRUE(out.sendRaw("inbx 28\1773"));
    EXPECT_TRUE(out.sendQuit());
    connection.loggedIn = false;
    EXPECT_FALSE(out.sendF10());
    EXPECT_FALSE(out.sendChat("dropped"));
    EXPECT_EQ(sockets.sentTexts(0),
              (std::vector<std::string>{"key 121", "key 833", "mkey 13\1777\1773\177go",
                                        "msel 7\1772\177b", "chat hello", "inbx 28\1773", "quit"}));
}

using testing::FakeChatLine;

TEST(ChatHistory, SendingRules) {
    ChatHistory history;
    FakeChatLine line;
    std::vector<std::string> sent;
    const auto send = [&](std::string_view text) {
        sent.emplace_back(text);
    };
    for (const char16_t* text : {u"x", u"it\u2035s me", u"again", u"it's me"}) {
        line.content = text;
        history.sendChatLine(line, send);
    }
    EXPECT_EQ(line.content, u"");
    EXPECT_EQ(sent, (std::vector<std::string>{"it's me", "again", "it's me"}));
    EXPECT_EQ(history.lines(), (std::deque<std::u16string>{u"again", u"it's me"}));
    for (int n = 0; n < 50; ++n) {
        line.content = u"line " + std::u16string(1, char16_t(u'A' + n));
        history.sendChatLine(line, send);
    }
    EXPECT_EQ(history.lines().size(), 50u);
    EXPECT_EQ(history.lines().front(), u"line A"); // the two oldest are gone
}

TEST(ChatHistory, RecallSelection) {
    ChatHistory history;
    FakeChatLine line;
    const auto send = [](std::string_view) {
    };
    for (const char16_t* text : {u"/me waves", u"hello", u"@bob hi there", u"/nothing"}) {
        line.content = text;
        history.sendChatLine(line, send);
    }
    // Each step, the line recalled and where its selection starts (after a command word).
    const std::tuple<int, std::u16string, std::size_t> steps[] = {
        {-1, u"/nothing", 1},  {-1, u"@bob hi there", 5}, {-1, u"hello", 1}, {-1, u"/me waves", 4},
        {-1, u"/me waves", 4}, {+1, u"hello", 1},         {+5, u"", 0}};
    for (const auto& [step, content, selectionStart] : steps) {
        history.recallChatLine(step, line);
        EXPECT_EQ(line.content, content);
        EXPECT_EQ(line.selectionStart, selectionStart)
            << std::string(content.begin(), content.end());
    }
}

} // namespace
} // namespace vendrel

// The client's connection against the lounge server on loopback: real sockets, real framing,
// the real command loop; the clock and the windows are fakes.

#include "app/client_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "app/client_session_lounge_fixture.h"
#include "games/connect_four.h"
#include "games/move_request.h"
#include "games/reversi.h"
#include "net/downloads.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::LoungeControl;

class ClientSessionLoungeTest : public testing::ClientSessionLoungeFixture {
protected:
    // Plans the lounge's side, runs the connection thread to its end, and returns the
    // lounge's mismatch report ("ok 0 []" when every expectation held).
    std::string run(const std::vector<std::string>& blocks) {
        for (const std::string& block : blocks) {
            const std::string planned = control.command(block);
            EXPECT_EQ(planned.rfind("ok", 0), 0u) << planned;
        }
        session.runConnectionThread();
        return control.command("mismatches");
    }
};

TEST_F(ClientSessionLoungeTest, LogsInAndAnswersTheServer) {
    speech.values[speech_id::kEngine] = speech_id::kSapiEngine;
    const std::string mismatches =
        run({"connection\n"
             "login\n"
             "send ping\n"
             "expect pong\n"
             "ping are you there\n"
             "expectpong are you there\n"
             "send say3 Hello there\n"
             "send sai 4 Urgent\n"
             "send soundstate 7 door\n"
             "expect inbx 7\\x7f1\n"
             "send soundstate 8 wind\n"
             "expect inbx 8\\x7f0\n"
             "send midt 0 id=&&\n"
             "expect id=-1\n"
             "send lcmd 2020\n"
             "send focuschat 3 hello\n"
             "send webu mailto:help@example.org\n"
             "send webu https://elsewhere.example/\n"
             "send cn4m 0 0 1 000000000000000000000000000000000000000000\n"
             "expect inbx 28\\x7f0\n"
             "send quit\n"
             "expectdrop\n"
             "end"});
    EXPECT_EQ(mismatches, "ok 0 []");
    // The login names the engine that speaks (6, sent as 6 + 2).
    EXPECT_NE(control.command("logins").find("\"speech\": 8"), std::string::npos);
    EXPECT_FALSE(session.connection().active);
    const auto lines = history.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::make_pair(std::u16string(u"Hello there"), 3));
    EXPECT_EQ(lines[1], std::make_pair(std::u16string(u"4 Urgent"), 4 | (1 << 24)));
    EXPECT_EQ(chatLine.content, u"hello");
    EXPECT_TRUE(chatLine.hasFocus);
    EXPECT_EQ(shell.events,
              (std::vector<std::string>{"command 2020", "link mailto:help@example.org", "quit"}));
    EXPECT_EQ(clock.sleeps, std::vector<std::int64_t>{300});
}

TEST_F(ClientSessionLoungeTest, FlashingFollowsTheChannelAndTheActiveWindow) {
    // Five channels; only channel 3 lets its sounds play, and so its flashes, in the background.
    state.presentation.channels.resize(5);
    state.presentation.channels[3].flags = channel_flag::kSoundsInBackground;
    state.presentation.channels[2].flags = ~channel_flag::kSoundsInBackground;
    state.presentation.publishFlags();
    shell.isActive = false;
    (void)run({"connection\nlogin\nsend flsh3 4\nsend flsh2 4\nsend flsh9 4\n"
               "send flsh35 2\nsend quit\nend"});
    // Channel 3 asks; 2 does not; 9 is beyond the table; 35 is channel 3 again (35 & 31).
    EXPECT_EQ(shell.events, (std::vector<std::string>{"flash 4", "flash 2", "quit"}));
}

TEST_F(ClientSessionLoungeTest, MoveRequestsAreAnsweredFromTheWorker) {
    // The standard Reversi start; the search's own answer is what must reach the server.
    const std::string reversiArgs =
        "1 0 3 1 0000000000000000000000000002100000012000000000000000000000000000";
    const std::string reversiAnswer = moveAnswer(reversiMove(reversiArgs, {}).value());
    std::string escaped;
    for (const char c : reversiAnswer) {
        escaped += c == '\x7f' ? std::string("\\x7f") : std::string(1, c);
    }
    const std::string mismatches = run(
        {"connection\nlogin\n"
         "send cn4m 1 0 2 000000000000000000000000000000000000000000\n"
         "expect inbx 28\\x7f" +
         moveAnswer(connectFourMove("1 0 2 000000000000000000000000000000000000000000", {}).value())
             .substr(8) +
         "\n"
         "send rv1m " +
         reversiArgs + "\nexpect " + escaped + "\nsend quit\nend"});
    EXPECT_EQ(mismatches, "ok 0 []");
}

TEST_F(ClientSessionLoungeTest, BoxesAnswerTheServer) {
    dialogs.inputAnswers = {{true, u"Zoé"}, {false, u"ignored"}, {true, u"s3cret"}};
    dialogs.messageAnswers = {6};
    const std::string mismatches = run({"connection\nlogin\n"
                                        "send inbx 5\\x7fNickname\\x7fYour name?\\x7fnull\n"
                                        "expect inbx 5\\x7fZo\\u00e9\n"
                                        "send inbx 6\\x7fT\\x7fP\\x7fD\n"
                                        "send inbp 7\\x7fPassword\\x7fWord?\\x7f\n"
                                        "expect inbx 7\\x7fs3cret\n"
                                        "send msgb 9\\x7fQuit\\x7fReally?\\x7f36\n"
                                        "expect msgb 9\\x7f6\n"
                                        "send quit\nend"});
    EXPECT_EQ(mismatches, "ok 0 []");
    EXPECT_FALSE(modalBoxShowing.isShowing());
}

TEST_F(ClientSessionLoungeTest, ARefusedLoginIsReportedAndNotRetried) {
    state.servers[0].password = "wrong";
    const std::string mismatches = run({"connection\nlogin\nend"});
    EXPECT_EQ(mismatches, "ok 0 []");
    EXPECT_EQ(shell.errors, std::vector<std::u16string>{u"Error: Wrong login or password."});
    EXPECT_EQ(shell.events.back(), "quit");
    EXPECT_EQ(clock.sleeps.size(), 1u);
}

TEST_F(ClientSessionLoungeTest, AnAnswerWithoutReasonIsAnInvalidMessage) {
    (void)run({"connection\nsend fail\nend"});
    EXPECT_EQ(shell.errors, std::vector<std::u16string>{u"Error: Invalid message received: fail"});
}

TEST_F(ClientSessionLoungeTest, RefusedHandshakesAreRetriedSixTimes) {
    (void)run({"connection 6\nrefuse 404\nend"});
    EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{300, 1300, 3300, 7300, 15300, 31300}));
    EXPECT_EQ(shell.errors, std::vector<std::u16string>{u"Error: Cannot connect."});
}

TEST_F(ClientSessionLoungeTest, ARefusedPortIsRetriedSixTimes) {
    state.servers[0].port = 1; // privileged and unused on test machines: refused
    session.runConnectionThread();
    EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{300, 1300, 3300, 7300, 15300, 31300}));
    EXPECT_EQ(shell.errors, std::vector<std::u16string>{u"Error: Cannot connect."});
}

TEST_F(ClientSessionLoungeTest, AnImmediateDropReconnectsAfterTheQuietTime) {
    const std::string mismatches =
        run({"connection\nlogin\ndrop\nend", "connection\nlogin\nsend quit\nend"});
    EXPECT_EQ(mismatches, "ok 0 []");
    // The lounge dropped at once: the attempts 0.3, 1.6 and 4.9 s later fall in the quiet 5 s
    // after the login and are skipped; the one 12.2 s later logs in again.
    EXPECT_EQ(clock.sleeps, (std::vector<std::int64_t>{300, 300, 1300, 3300, 7300}));
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_EQ(shell.events, std::vector<std::string>{"quit"});
}

TEST_F(ClientSessionLoungeTest, ShutdownWakesTheConnectionThreadFromItsRead) {
    ASSERT_EQ(control.command("connection\nlogin\nsend say3 ready\nexpectdrop\nend").rfind("ok", 0),
              0u);
    std::thread connectionThread([this] { session.runConnectionThread(); });
    // Logged in and waiting for the next command (or about to).
    const bool isLoggedIn = history.waitForLines(1);
    session.shutdown(); // the GUI thread at exit
    connectionThread.join();
    EXPECT_TRUE(isLoggedIn);
    EXPECT_EQ(control.command("mismatches"), "ok 0 []");
}

TEST_F(ClientSessionLoungeTest, OutgoingCommandsReachTheServerExactly) {
    ASSERT_EQ(control
                  .command("connection\nlogin\n"
                           "expect msel 7\\x7f2\\x7fb\n"
                           "expect msel 7\\x7f-1\\x7f-1\n"
                           "expect key 833\n"
                           "expect mkey 13\\x7f7\\x7f3\\x7fgo\n"
                           "expect chat it's me\n"
                           "expect key 121\n"
                           "expect quit\n"
                           "send quit\n"
                           "end")
                  .rfind("ok", 0),
              0u);
    std::thread connection([&] { session.runConnectionThread(); });
    for (int n = 0; n < 3000 && !session.connection().loggedIn; ++n) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(session.connection().loggedIn);
    OutgoingCommands& out = session.outgoing();
    EXPECT_TRUE(out.sendMenuSelection(7, 2, u"b"));
    EXPECT_TRUE(out.sendMenuSelection(7, -1, std::nullopt));
    EXPECT_TRUE(out.sendKey('A', true, true, false));
    EXPECT_TRUE(out.sendMenuKey(13, false, false, false, 7, 3, u"go"));
    chatLine.content = u"it\u2035s me";
    session.chatHistory().sendChatLine(chatLine,
                                       [&](std::string_view text) { out.sendChat(text); });
    EXPECT_TRUE(out.sendF10());
    EXPECT_TRUE(out.sendQuit());
    connection.join();
    EXPECT_EQ(control.command("mismatches"), "ok 0 []");
    EXPECT_FALSE(out.sendF10()); // no longer logged in
}

TEST_F(ClientSessionLoungeTest, DownloadsFollowTheFileTimes) {
    const std::string sep(1, kPathSeparator);
    const std::string web = LoungeControl::webRoot() + sep;
    std::filesystem::create_directories(pathFromUtf8(web + "sounds"));
    for (const char* name : {"sounds/door.ogg", "same.ogg", "newer.ogg", "empty.ogg", "cut.ogg"}) {
        std::ofstream(pathFromUtf8(web + name), std::ios::binary) << "fresh " << name;
    }
    ASSERT_EQ(control.command("web empty /autodl/empty.ogg").rfind("ok", 0), 0u);
    ASSERT_EQ(control.command("web cut /autodl/cut.ogg 3").rfind("ok", 0), 0u);
    const std::string local = state.folders.program;
    for (const char* name : {"same.ogg", "newer.ogg", "cut.ogg"}) {
        std::ofstream(pathFromUtf8(local + name), std::ios::binary) << "old";
    }
    const std::uint64_t same = localFileTime(local + "same.ogg");
    const std::uint64_t newer = localFileTime(local + "newer.ogg");
    const std::string mismatches = run({"connection\nlogin\n"
                                        "send dwnl sounds/door.ogg 0\n"
                                        "send dwnl same.ogg " +
                                        std::to_string(same) +
                                        "\n"
                                        "send dwnl newer.ogg " +
                                        std::to_string(newer - 1) +
                                        "\n"
                                        "send dwnl missing.ogg 0\n"
                                        "send dwnl empty.ogg 0\n"
                                        "send dwnl cut.ogg 99999999999999999\n"
                                        "send dwnl ../escape.ogg 0\n"
                                        "send dwnl CON 0\n"
                                        "send quit\nend"});
    EXPECT_EQ(mismatches, "ok 0 []");
    // Five downloads of two lines each, two refusals of one line.
    ASSERT_TRUE(history.waitForLines(12));
    std::vector<std::u16string> texts;
    for (const auto& [text, channel] : history.lines()) {
        EXPECT_EQ(channel, kDownloadChannel);
        texts.push_back(text);
    }
    const auto has = [&](const std::u16string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    };
    EXPECT_TRUE(has(u"Downloaded sounds/door.ogg"));
    EXPECT_TRUE(has(u"Downloaded same.ogg"));
    EXPECT_FALSE(has(u"Downloading newer.ogg"));
    EXPECT_TRUE(has(u"Download of missing.ogg failed: 404"));
    EXPECT_TRUE(has(u"Download of empty.ogg failed: -2"));
    EXPECT_TRUE(has(u"Download of cut.ogg failed: -5"));
    EXPECT_TRUE(has(u"Download of ../escape.ogg failed: -7"));
    EXPECT_TRUE(has(u"Download of CON failed: -7"));
    EXPECT_EQ(readWholeFile(local + "sounds" + sep + "door.ogg"), "fresh sounds/door.ogg");
    EXPECT_EQ(readWholeFile(local + "same.ogg"), "fresh same.ogg");
    EXPECT_EQ(readWholeFile(local + "newer.ogg"), "old");
    EXPECT_EQ(readWholeFile(local + "cut.ogg"), "old");
}

TEST_F(ClientSessionLoungeTest, ASilentWebServerDoesNotHoldTheWorker) {
    const std::string web = LoungeControl::webRoot() + std::string(1, kPathSeparator);
    std::ofstream(pathFromUtf8(web + "slow.ogg"), std::ios::binary) << "slow";
    ASSERT_EQ(control.command("web stall /autodl/slow.ogg 30").rfind("ok", 0), 0u);
    HttpLimits limits;
    limits.idleTimeoutMs = 300;
    session.setHttpLimits(limits);
    (void)run({"connection\nlogin\nsend dwnl slow.ogg 0\nsend quit\nend"});
    ASSERT_TRUE(history.waitForLines(2));
    EXPECT_EQ(history.lines()[1].first, u"Download of slow.ogg failed: -3");
    EXPECT_EQ(control.command("web reset").rfind("ok", 0), 0u);
}

} // namespace
} // namespace vendrel

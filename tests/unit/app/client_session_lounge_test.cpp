// The client's connection against the lounge server on loopback (tests/run_with_lounge.py
// starts it; without it the tests are skipped): real sockets, real framing, the real command
// loop and worker, logged in as demo; the clock and the windows are fakes. The rules
// themselves are tested in the core with fakes; these tests show the wiring.

#include "app/client_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/worker.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_chat_line.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_dialog_service.h"
#include "fakes/fake_speech_library.h"
#include "fakes/lounge_control.h"
#include "fakes/platform_sockets.h"
#include "games/reversi.h"
#include "net/downloads.h"
#include "text/utf.h"

namespace vendrel {
namespace {

using testing::LoungeControl;

class ClientSessionLoungeTest : public ::testing::Test, public testing::AppFixture {
protected:
    void SetUp() override {
        if (!LoungeControl::isAvailable()) {
            GTEST_SKIP() << "needs the lounge server (tests/run_with_lounge.py)";
        }
        state.messages.addText("isocode=en\nerror=Error\ndownloadingStart=Downloading %s\n"
                               "downloadingOk=Downloaded %s\ndownloadingFail=%s failed: %d\n");
        ServerEntry& server = state.servers.emplace_back();
        server.host = "127.0.0.1";
        server.port = LoungeControl::gamePort();
        server.login = "demo";
        server.password = "demo1234";
        server.webHost = "127.0.0.1:" + std::to_string(LoungeControl::webPort());
        server.webBaseDir = "/autodl/";
        worker.start();
    }

    // Plans the lounge's side, runs the connection thread to its end, and returns the
    // lounge's mismatch report ("ok 0 []" when every expectation held).
    std::string run(const std::string& block) {
        const std::string planned = control.command(block);
        EXPECT_EQ(planned.rfind("ok", 0), 0u) << planned;
        session.runConnectionThread();
        return control.command("mismatches");
    }

    // Waits until the connection thread has logged in again after login `after`.
    bool waitForLogin(std::uint64_t after) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (session.connection().loggedIn && session.connection().session() > after) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    static void writeWebFile(const std::string& name) {
        std::ofstream(pathFromUtf8(LoungeControl::webRoot() + kPathSeparator + name),
                      std::ios::binary)
            << "fresh " << name;
    }

    LoungeControl control;
    testing::FakeClock clock;
    testing::QuietSounds sounds;
    Worker worker;
    testing::FakeGuiThread gui;
    testing::RecordingHistory history;
    testing::RecordingShell shell;
    testing::FakeMainWindow mainWindow;
    testing::FakeChatLine chatLine;
    ModalBoxFlag modalBoxShowing;
    testing::FakeDialogService dialogs{modalBoxShowing};
    testing::FakeSpeechLibrary speech;
    ClientSession session{state,
                          {testing::platformSockets(), clock, sounds, worker, gui, history, shell,
                           mainWindow, chatLine, dialogs, modalBoxShowing, speech}};
};

TEST_F(ClientSessionLoungeTest, LogsInAndAnswersTheServer) {
    speech.values[speech_id::kEngine] = speech_id::kSapiEngine;
    // Five channels; only channel 3 lets its sounds play, and so its flashes, in the background.
    state.presentation.channels.resize(5);
    state.presentation.channels[3].flags = channel_flag::kSoundsInBackground;
    state.presentation.channels[2].flags = ~channel_flag::kSoundsInBackground;
    state.presentation.publishFlags();
    shell.isActive = false;
    writeWebFile("door.ogg");
    // A web server that goes silent fails its download rather than holding the worker.
    writeWebFile("silent.ogg");
    ASSERT_EQ(control.command("web stall /autodl/silent.ogg 30"), "ok");
    HttpLimits limits;
    limits.idleTimeoutMs = 300;
    session.setHttpLimits(limits);
    // The standard Reversi start; the search's own answer is what must reach the server.
    const std::string reversi =
        "1 0 3 1 0000000000000000000000000002100000012000000000000000000000000000";
    const std::string mismatches =
        run("connection\n"
            "login\n"
            "send say3 Hello there\n"
            "send sai 4 Urgent\n"
            "send soundstate 7 door\n"
            "expect inbx 7\\x7f1\n"
            "send lcmd 2020\n"
            "send focuschat 3 hello\n"
            "send webu mailto:help@example.org\n"
            "send dwnl door.ogg 0\n"
            "send dwnl silent.ogg 0\n"
            // Channel 3 asks; 2 does not; 9 is beyond the table; 35 is channel 3 again.
            "send flsh3 4\n"
            "send flsh2 4\n"
            "send flsh9 4\n"
            "send flsh35 2\n"
            "send cn4m 0 0 1 000000000000000000000000000000000000000000\n"
            "expect inbx 28\\x7f0\n"
            "send rv1m " +
            reversi + "\nexpect inbx 28\\x7f" + reversiMove(reversi, {}).value() +
            "\n"
            "send quit\n"
            "expectdrop\n"
            "end");
    EXPECT_EQ(mismatches, "ok 0 []");
    worker.postJob([] {}); // returns once the last job has ended
    // The login names the engine that speaks (6, sent as 6 + 2).
    EXPECT_NE(control.command("logins").find("\"speech\": 8"), std::string::npos);
    EXPECT_FALSE(session.connection().active);
    EXPECT_EQ(history.lines(), (std::vector<std::pair<std::u16string, std::int32_t>>{
                                   {u"Hello there", 3},
                                   {u"4 Urgent", 4 | (1 << 24)},
                                   {u"Downloading door.ogg", kDownloadChannel},
                                   {u"Downloaded door.ogg", kDownloadChannel},
                                   {u"Downloading silent.ogg", kDownloadChannel},
                                   {u"silent.ogg failed: -3", kDownloadChannel}}));
    EXPECT_EQ(readWholeFile(state.folders.program + "door.ogg"), "fresh door.ogg");
    EXPECT_EQ(chatLine.content, u"hello");
    EXPECT_TRUE(chatLine.hasFocus);
    EXPECT_EQ(shell.events,
              (std::vector<std::string>{"command 2020", "link mailto:help@example.org", "flash 4",
                                        "flash 2", "quit"}));
    EXPECT_EQ(clock.sleeps, std::vector<std::int64_t>{300});
}

TEST_F(ClientSessionLoungeTest, ARefusedLoginIsReportedAndNotRetried) {
    state.servers[0].password = "wrong";
    EXPECT_EQ(run("connection\nlogin\nend"), "ok 0 []");
    EXPECT_EQ(shell.errors, std::vector<std::u16string>{u"Error: Wrong login or password."});
    EXPECT_EQ(shell.events.back(), "quit");
    EXPECT_EQ(clock.sleeps.size(), 1u);
}

TEST_F(ClientSessionLoungeTest, NothingOfADroppedLoginReachesTheNextOne) {
    HttpLimits limits;
    limits.idleTimeoutMs = 200;
    session.setHttpLimits(limits);
    writeWebFile("slow.ogg");
    ASSERT_EQ(control.command("web stall /autodl/slow.ogg 1"), "ok");
    // Connections of earlier tests may still wait in the lounge's queue: the next one is ours.
    while (control.command("session 0").rfind("ok", 0) == 0) {
    }
    std::thread connectionThread([this] { session.runConnectionThread(); });
    // A failed round must still end the connection thread before the session goes.
    struct EndConnection {
        ClientSession& session;
        std::thread& thread;
        ~EndConnection() {
            if (thread.joinable()) {
                session.shutdown();
                thread.join();
            }
        }
    } endConnection{session, connectionThread};
    ASSERT_EQ(control.command("session 60").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitForLogin(0));
    // The lounge drops the connection while a move search runs (depth 12 from the empty board
    // takes long enough), while a download waits and inside a frame that announces 256 bytes
    // and brings three. (The boxes' answers are checked against the login in the core.)
#ifdef _WIN32
    const std::vector<std::string> disturbances; // the native build runs the drops
#else
    const std::vector<std::string> disturbances = {"send cn4m 0 0 12 " + std::string(42, '0'),
                                                   "send dwnl slow.ogg 0",
                                                   "sendraw 81 7e 01 00 61 62 63"};
#endif
    for (const std::string& disturbance : disturbances) {
        SCOPED_TRACE(disturbance);
        const std::uint64_t before = session.connection().session();
        ASSERT_EQ(control.command(disturbance), "ok");
        ASSERT_EQ(control.command("drop"), "ok");
        ASSERT_EQ(control.command("session 60").rfind("ok", 0), 0u);
        ASSERT_TRUE(waitForLogin(before));
        worker.postJob([] {}); // returns once the disturbance's job has ended
        ASSERT_EQ(control.command("send ping"), "ok");
        ASSERT_EQ(control.command("expect pong"), "ok");
        const std::string texts = control.command("texts");
        EXPECT_EQ(texts.find("inbx"), std::string::npos) << texts;
    }
    // The new login's outgoing commands reach the server; at exit the GUI thread's shutdown
    // wakes the connection thread from its read.
    EXPECT_TRUE(session.outgoing().sendMenuSelection(7, 2, u"b"));
    EXPECT_EQ(control.command("expect msel 7\\x7f2\\x7fb"), "ok");
    session.shutdown();
    connectionThread.join();
    EXPECT_EQ(control.command("mismatches"), "ok 0 []");
}

} // namespace
} // namespace vendrel

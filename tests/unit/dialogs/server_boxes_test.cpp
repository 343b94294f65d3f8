#include "dialogs/server_boxes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "app/debug_log.h"
#include "app/worker.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_dialog_service.h"
#include "fakes/fake_socket_system.h"
#include "net/connection.h"

namespace vendrel {
namespace {

using Texts = std::vector<std::string>;

// A logged-in connection over scripted sockets, the real worker and recording boxes.
class Boxes {
public:
    explicit Boxes(GuiThread* gui = nullptr) : gui_(gui ? *gui : fakeGui_) {
        sockets_.plan.push_back({0, {testing::acceptedHandshake() + testing::serverText("ok")}});
        EXPECT_EQ(connection.login("h", 1, "a", "b", {}), 0);
        worker_.start();
    }
    ~Boxes() { waitForWorker(); }
    Boxes(const Boxes&) = delete;
    Boxes& operator=(const Boxes&) = delete;

    // Handing over an empty job returns only when every job posted before it has ended.
    void waitForWorker() {
        worker_.postJob([] {});
    }
    [[nodiscard]] Texts sent() const { return sockets_.sentTexts(0); }

    DebugLog log;
    testing::FakeSocketSystem sockets_;
    Connection connection{sockets_, log};
    ModalBoxFlag modalBoxShowing;
    testing::FakeDialogService dialogs{modalBoxShowing};

private:
    Worker worker_;
    testing::FakeGuiThread fakeGui_;
    GuiThread& gui_;

public:
    ServerBoxes boxes{{connection, worker_, gui_, dialogs, modalBoxShowing}};
};

TEST(ServerBoxes, InputBoxesShowTheRequestAndAnswerWhenConfirmed) {
    struct Case {
        std::string name;
        std::string arguments;
        bool isMultiLine;
        bool isPassword;
        InputBoxResult result;
        InputBoxTexts expectedShown;
        Texts expectedSent;
    };
    const Case cases[] = {
        {"confirmed unchanged",
         "4\x7fName\x7fYour name:\x7f"
         "Bob",
         false,
         false,
         {true, u"Bob"},
         {u"Name", u"Your name:", u"Bob", false, false},
         {"inbx 4\x7f"
          "Bob"}},
        {"cancelled",
         "4\x7fName\x7fYour name:\x7f"
         "Bob",
         false,
         false,
         {false, u"typed anyway"},
         {u"Name", u"Your name:", u"Bob", false, false},
         {}},
        {"password answered in clear",
         "5\x7fLogin\x7fPassword:\x7fnull",
         false,
         true,
         {true, u"s3cr\u00e9t"},
         {u"Login", u"Password:", u"null", false, true},
         {"inbx 5\x7fs3cr\xC3\xA9t"}},
        {"multi-line keeps its line breaks",
         "6\x7fNote\x7fWrite:",
         true,
         false,
         {true, u"one\r\ntwo"},
         {u"Note", u"Write:", u"", true, false},
         {"inbx 6\x7fone\r\ntwo"}},
        {"over-long answer cut",
         "7\x7fT\x7fP",
         false,
         false,
         {true, std::u16string(45000, u'x')},
         {u"T", u"P", u"", false, false},
         {"inbx 7\x7f" + std::string(kInputBoxAnswerLimit - 7, 'x')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Boxes boxes;
        boxes.dialogs.inputAnswers.push_back(c.result);
        boxes.boxes.prepareInputBox(c.arguments, c.isMultiLine, c.isPassword);
        boxes.waitForWorker();
        const auto shown = boxes.dialogs.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].isInputBox);
        EXPECT_EQ(shown[0].input.title, c.expectedShown.title);
        EXPECT_EQ(shown[0].input.prompt, c.expectedShown.prompt);
        EXPECT_EQ(shown[0].input.defaultText, c.expectedShown.defaultText);
        EXPECT_EQ(shown[0].input.isMultiLine, c.expectedShown.isMultiLine);
        EXPECT_EQ(shown[0].input.isPassword, c.expectedShown.isPassword);
        EXPECT_EQ(boxes.sent(), c.expectedSent);
    }
}

TEST(ServerBoxes, MessageBoxesPassTheTypeAndAnswerTheSystemsResult) {
    struct Case {
        std::string arguments;
        std::int32_t answer;
        std::uint32_t expectedType;
        std::string expectedSent;
    };
    const Case cases[] = {
        {"9\x7fQuit\x7fReally?\x7f"
         "36",
         6, 36,
         "msgb 9\x7f"
         "6"},
        {"9\x7fQuit\x7fReally?\x7f"
         "36",
         7, 36,
         "msgb 9\x7f"
         "7"},
        {"2\x7fSave\x7fSave the game?\x7f"
         "0x23",
         2, 0x23,
         "msgb 2\x7f"
         "2"},
        // A box the system could not show still answers, so the server is not left waiting.
        {"3\x7fOops\x7f"
         "Failed\x7f"
         "16",
         0, 16,
         "msgb 3\x7f"
         "0"},
    };
    for (const bool isInBackground : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.arguments + (isInBackground ? " msgb" : " msbm"));
            Boxes boxes;
            boxes.dialogs.messageAnswers.push_back(c.answer);
            boxes.boxes.prepareMessageBox(c.arguments, isInBackground);
            boxes.waitForWorker();
            const auto shown = boxes.dialogs.shown();
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_FALSE(shown[0].isInputBox);
            EXPECT_EQ(shown[0].type, c.expectedType);
            EXPECT_EQ(boxes.sent(), Texts{c.expectedSent});
        }
    }
    Boxes boxes;
    boxes.boxes.prepareMessageBox("9\x7fQuit\x7fReally?\x7f"
                                  "36",
                                  false);
    ASSERT_EQ(boxes.dialogs.shown().size(), 1u);
    EXPECT_EQ(boxes.dialogs.shown()[0].caption, u"Quit");
    EXPECT_EQ(boxes.dialogs.shown()[0].text, u"Really?");
}

TEST(ServerBoxes, NothingIsSentWithoutTheLoginTheBoxCameIn) {
    enum class Login { None, EndsWhileOpen, RenewedWhileOpen };
    for (const Login login : {Login::None, Login::EndsWhileOpen, Login::RenewedWhileOpen}) {
        SCOPED_TRACE(static_cast<int>(login));
        Boxes boxes;
        std::mutex relogin; // msgb's box on the worker and msbm's here may be open together
        if (login == Login::None) {
            boxes.connection.loggedIn = false;
        } else if (login == Login::EndsWhileOpen) {
            boxes.dialogs.whileOpen = [&] {
                boxes.connection.loggedIn = false;
            };
        } else {
            // The connection dropped and logged in again while the player typed: the new
            // server never asked.
            boxes.dialogs.whileOpen = [&] {
                const std::lock_guard lock(relogin);
                boxes.sockets_.plan.push_back(
                    {0, {testing::acceptedHandshake() + testing::serverText("ok")}});
                EXPECT_EQ(boxes.connection.login("h", 1, "a", "b", {}), 0);
            };
        }
        boxes.dialogs.inputAnswers.push_back({true, u"Bob"});
        boxes.boxes.prepareInputBox("4\x7fN\x7fP", false, false);
        boxes.boxes.prepareMessageBox("9\x7fQ\x7fR\x7f"
                                      "36",
                                      true);
        boxes.boxes.prepareMessageBox("9\x7fQ\x7fR\x7f"
                                      "36",
                                      false);
        boxes.waitForWorker();
        EXPECT_EQ(boxes.dialogs.shown().size(), 3u); // the player still sees them
        for (std::size_t n = 0; n < boxes.sockets_.written.size(); ++n) {
            EXPECT_EQ(boxes.sockets_.sentTexts(n), Texts{}) << "connection " << n;
        }
    }
}

TEST(ServerBoxes, MsbmRunsOnTheCallingThreadAndMsgbOnTheWorker) {
    Boxes boxes;
    boxes.boxes.prepareMessageBox("1\x7fQ\x7fR", false);
    // Answered before the call returns: the command loop was held until then.
    EXPECT_EQ(boxes.sent(), Texts{"msgb 1\x7f"
                                  "1"});
    boxes.boxes.prepareMessageBox("2\x7fQ\x7fR", true);
    boxes.boxes.prepareInputBox("3\x7fT\x7fP", false, false);
    boxes.waitForWorker();
    const auto shown = boxes.dialogs.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].thread, std::this_thread::get_id());
    EXPECT_NE(shown[1].thread, std::this_thread::get_id());
    EXPECT_NE(shown[2].thread, std::this_thread::get_id());
}

TEST(ServerBoxes, ModalFlagIsSetOnlyWhileABoxIsOpen) {
    Boxes boxes;
    boxes.dialogs.inputAnswers.push_back({true, u"x"});
    boxes.dialogs.messageAnswers = {6, 0}; // the second box fails
    boxes.boxes.prepareInputBox("1\x7fT\x7fP", false, false);
    boxes.waitForWorker();
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    boxes.boxes.prepareMessageBox("2\x7fQ\x7fR", false);
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    boxes.boxes.prepareMessageBox("3\x7fQ\x7fR", true);
    boxes.waitForWorker();
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    const auto shown = boxes.dialogs.shown();
    ASSERT_EQ(shown.size(), 3u);
    for (const auto& box : shown) {
        EXPECT_TRUE(box.wasFlagSet);
    }
}

TEST(ServerBoxes, ModalFlagStaysSetUntilTheLastOpenBoxCloses) {
    Boxes boxes;
    boxes.dialogs.boxesToHold = 1;
    boxes.boxes.prepareMessageBox("1\x7f"
                                  "background\x7fR",
                                  true);
    ASSERT_TRUE(boxes.dialogs.waitForOpened(1));
    EXPECT_TRUE(boxes.modalBoxShowing.isShowing());
    // msbm opens and closes while the msgb box is still open.
    boxes.boxes.prepareMessageBox("2\x7f"
                                  "blocking\x7fR",
                                  false);
    EXPECT_TRUE(boxes.modalBoxShowing.isShowing());
    boxes.dialogs.close();
    boxes.waitForWorker();
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    EXPECT_EQ(boxes.sent(), (Texts{"msgb 2\x7f"
                                   "1",
                                   "msgb 1\x7f"
                                   "1"}));
}

TEST(ServerBoxes, NoMainWindowShowsAndSendsNothing) {
    testing::ClosedGuiThread closed;
    Boxes boxes(&closed);
    boxes.dialogs.inputAnswers.push_back({true, u"x"});
    boxes.boxes.prepareInputBox("1\x7fT\x7fP", false, false);
    boxes.waitForWorker();
    EXPECT_TRUE(boxes.dialogs.shown().empty());
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    EXPECT_EQ(boxes.sent(), Texts{});
}

TEST(ServerBoxes, ASecondInputBoxWaitsForTheFirst) {
    Boxes boxes;
    boxes.dialogs.boxesToHold = 2;
    boxes.dialogs.inputAnswers = {{true, u"first"}, {true, u"second"}};
    boxes.boxes.prepareInputBox("1\x7fT\x7fP", false, false);
    ASSERT_TRUE(boxes.dialogs.waitForOpened(1));
    std::atomic<bool> isPosterRunning{false};
    std::thread poster([&] {
        isPosterRunning = true;
        boxes.boxes.prepareInputBox("2\x7fT\x7fP", false, false);
        boxes.dialogs.note("second handed over");
    });
    while (!isPosterRunning) {
        std::this_thread::yield();
    }
    boxes.dialogs.close();
    ASSERT_TRUE(boxes.dialogs.waitForOpened(2));
    poster.join(); // its note comes before the second box closes
    boxes.dialogs.close();
    boxes.waitForWorker();
    const auto events = boxes.dialogs.events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0], "open");
    EXPECT_EQ(events[1], "close");
    EXPECT_EQ(std::count(events.begin(), events.begin() + 4, "open"), 2);
    EXPECT_EQ(events[4], "close");
    EXPECT_EQ(boxes.sent(), (Texts{"inbx 1\x7f"
                                   "first",
                                   "inbx 2\x7f"
                                   "second"}));
}

} // namespace
} // namespace vendrel

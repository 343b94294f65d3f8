#include "dialogs/server_boxes.h"

#include <gtest/gtest.h>

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

// \177 is the server's field separator.
using Texts = std::vector<std::string>;

// A logged-in connection over scripted sockets, the real worker and recording boxes.
class Boxes {
public:
    explicit Boxes(GuiThread* gui = nullptr) : gui_(gui ? *gui : fakeGui_) {
        login();
        worker_.start();
    }
    ~Boxes() { waitForWorker(); }
    Boxes(const Boxes&) = delete;
    Boxes& operator=(const Boxes&) = delete;

    void login() {
        sockets.plan.push_back({0, {testing::acceptedHandshake() + testing::serverText("ok")}});
        EXPECT_EQ(connection.login("h", 1, "a", "b", {}), 0);
    }
    // Handing over an empty job returns only when every job posted before it has ended.
    void waitForWorker() {
        worker_.postJob([] {});
    }
    [[nodiscard]] Texts sent() const { return sockets.sentTexts(0); }

    DebugLog log;
    testing::FakeSocketSystem sockets;
    Connection connection{sockets, log};
    ModalBoxFlag modalBoxShowing;
    testing::FakeDialogService dialogs{modalBoxShowing};

private:
    Worker worker_;
    testing::FakeGuiThread fakeGui_;
    GuiThread& gui_;

public:
    ServerBoxes boxes{{connection, worker_, gui_, dialogs, modalBoxShowing}};
};

TEST(ServerBoxes, InputBoxesRunOnTheWorkerAndAnswerOnlyWhenConfirmed) {
    Boxes boxes;
    boxes.dialogs.inputAnswers = {{true, u"s3cr\u00e9t"}, {false, u"typed anyway"}};
    boxes.boxes.prepareInputBox("5\177Login\177Password:\177null", false, true);
    boxes.boxes.prepareInputBox("6\177T\177P", true, false);
    boxes.waitForWorker();
    EXPECT_EQ(boxes.sent(), Texts{"inbx 5\177s3cr\xC3\xA9t"}); // a password goes in clear
    const auto shown = boxes.dialogs.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].thread, std::this_thread::get_id()); // the command loop reads on
    EXPECT_EQ(
        (std::vector{shown[0].input.title, shown[0].input.prompt, shown[0].input.defaultText}),
        (std::vector<std::u16string>{u"Login", u"Password:", u"null"}));
    EXPECT_TRUE(shown[0].input.isPassword && shown[1].input.isMultiLine);
    EXPECT_TRUE(shown[0].wasFlagSet);
}

TEST(ServerBoxes, MessageBoxesAnswerTheSystemsResultAndMsbmHoldsTheCaller) {
    Boxes boxes;
    // The second box could not be shown (0): it still answers, so the server is not left
    // waiting.
    boxes.dialogs.messageAnswers = {6, 0};
    boxes.boxes.prepareMessageBox("9\177Quit\177Really?\17736", true);
    boxes.waitForWorker();
    // msbm runs on the calling thread and is answered before the call returns: the command
    // loop waits for it.
    boxes.boxes.prepareMessageBox("8\177Q\177R", false);
    EXPECT_EQ(boxes.sent(), (Texts{"msgb 9\1776", "msgb 8\1770"}));
    const auto shown = boxes.dialogs.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, u"Quit");
    EXPECT_EQ(shown[0].text, u"Really?");
    EXPECT_EQ(shown[0].type, 36u);
    EXPECT_NE(shown[0].thread, std::this_thread::get_id());
    EXPECT_EQ(shown[1].thread, std::this_thread::get_id());
}

TEST(ServerBoxes, NothingIsSentWithoutTheLoginTheBoxCameIn) {
    enum class Login { EndsWhileOpen, RenewedWhileOpen };
    for (const Login login : {Login::EndsWhileOpen, Login::RenewedWhileOpen}) {
        SCOPED_TRACE(static_cast<int>(login));
        Boxes boxes;
        std::mutex relogin; // msgb's box on the worker and msbm's here may be open together
        if (login == Login::EndsWhileOpen) {
            boxes.dialogs.whileOpen = [&] {
                boxes.connection.loggedIn = false;
            };
        } else {
            // The connection dropped and logged in again while the player typed: the new
            // server never asked.
            boxes.dialogs.whileOpen = [&] {
                const std::lock_guard lock(relogin);
                boxes.login();
            };
        }
        boxes.dialogs.inputAnswers.push_back({true, u"Bob"});
        boxes.boxes.prepareInputBox("4\177N\177P", false, false);
        boxes.boxes.prepareMessageBox("9\177Q\177R", true);
        boxes.boxes.prepareMessageBox("9\177Q\177R", false);
        boxes.waitForWorker();
        EXPECT_EQ(boxes.dialogs.shown().size(), 3u); // the player still sees them
        for (std::size_t n = 0; n < boxes.sockets.written.size(); ++n) {
            EXPECT_EQ(boxes.sockets.sentTexts(n), Texts{}) << "connection " << n;
        }
    }
}

TEST(ServerBoxes, TheModalFlagCountsTheOpenBoxes) {
    Boxes boxes;
    // While the msgb box is open on the worker, an msbm box opens and closes.
    bool isFlagKeptForTheOuterBox = false;
    boxes.dialogs.whileOpen = [&] {
        if (boxes.dialogs.shown().size() == 1) {
            boxes.boxes.prepareMessageBox("2\177Q\177R", false);
            isFlagKeptForTheOuterBox = boxes.modalBoxShowing.isShowing();
        }
    };
    boxes.boxes.prepareMessageBox("1\177Q\177R", true);
    boxes.waitForWorker();
    EXPECT_TRUE(isFlagKeptForTheOuterBox);
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    const auto shown = boxes.dialogs.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].wasFlagSet && shown[1].wasFlagSet);
}

TEST(ServerBoxes, NoMainWindowShowsAndSendsNothing) {
    testing::ClosedGuiThread closed;
    Boxes boxes(&closed);
    boxes.dialogs.inputAnswers.push_back({true, u"x"});
    boxes.boxes.prepareInputBox("1\177T\177P", false, false);
    boxes.waitForWorker();
    EXPECT_TRUE(boxes.dialogs.shown().empty());
    EXPECT_FALSE(boxes.modalBoxShowing.isShowing());
    EXPECT_EQ(boxes.sent(), Texts{});
}

} // namespace
} // namespace vendrel

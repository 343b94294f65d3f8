#pragma once
// A client session over fakes of every port but the sockets, logged in as demo to the lounge
// server on loopback (tests/run_with_lounge.py starts it; without it the tests are skipped).

#include <gtest/gtest.h>

#include <string>

#include "app/client_session.h"
#include "app/worker.h"
#include "fakes/app_fixture.h"
#include "fakes/fake_chat_line.h"
#include "fakes/fake_client_ports.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_dialog_service.h"
#include "fakes/fake_speech_library.h"
#include "fakes/lounge_control.h"
#include "fakes/platform_sockets.h"

namespace vendrel::testing {

class ClientSessionLoungeFixture : public ::testing::Test, public AppFixture {
protected:
    void SetUp() override {
        if (!LoungeControl::isAvailable()) {
            GTEST_SKIP() << "needs the lounge server (tests/run_with_lounge.py)";
        }
        state.messages.addText("isocode=en\nerror=Error\nconnecterror=Cannot connect.\n"
                               "downloadingStart=Downloading %s\ndownloadingOk=Downloaded %s\n"
                               "downloadingFail=Download of %s failed: %d\n"
                               "winTitle2=Vendrel - %s - %s\n");
        state.servers.resize(1);
        ServerEntry& server = state.servers[0];
        server.host = "127.0.0.1";
        server.port = LoungeControl::gamePort();
        server.login = "demo";
        server.password = "demo1234";
        server.webHost = "127.0.0.1:" + std::to_string(LoungeControl::webPort());
        server.webBaseDir = "/autodl/";
        dialogs.gui = &gui;
        worker.start();
    }

    LoungeControl control;
    FakeClock clock;
    QuietSounds sounds;
    Worker worker;
    FakeGuiThread gui;
    RecordingHistory history;
    RecordingShell shell;
    FakeMainWindow mainWindow;
    FakeChatLine chatLine;
    ModalBoxFlag modalBoxShowing;
    FakeDialogService dialogs{modalBoxShowing};
    FakeSpeechLibrary speech;
    ClientSession session{state,
                          {platformSockets(), clock, sounds, worker, gui, history, shell,
                           mainWindow, chatLine, dialogs, modalBoxShowing, speech}};
};

} // namespace vendrel::testing

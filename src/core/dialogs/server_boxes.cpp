#include "dialogs/server_boxes.h"

#include "app/worker.h"
#include "net/connection.h"
#include "ports/dialog_service.h"
#include "ports/gui_thread.h"

namespace vendrel {

void ServerBoxes::prepareInputBox(const std::string& arguments, bool isMultiLine, bool isPassword) {
    // The arguments are copied into the job: the command they came in is gone by the time the
    // worker runs it.
    ports_.worker.postJob([this, arguments, isMultiLine, isPassword] {
        runInputBox(parseInputBoxRequest(arguments, isMultiLine, isPassword));
    });
}

void ServerBoxes::prepareMessageBox(const std::string& arguments, bool isInBackground) {
    if (isInBackground) {
        ports_.worker.postJob(
            [this, arguments] { runMessageBox(parseMessageBoxRequest(arguments)); });
    } else {
        runMessageBox(parseMessageBoxRequest(arguments));
    }
}

void ServerBoxes::runInputBox(const InputBoxRequest& request) {
    InputBoxResult result;
    // The dialog belongs to the GUI thread; this job waits for it. When the main window is
    // already gone nothing runs and nothing is answered.
    (void)ports_.gui.run([&] {
        const ModalBoxScope showing(ports_.modalBoxShowing);
        result = ports_.dialogs.showInputBox(request.texts);
    });
    if (result.isConfirmed) {
        sendAnswer(inputBoxAnswer(request.id, result.text));
    }
}

void ServerBoxes::runMessageBox(const MessageBoxRequest& request) {
    std::int32_t answer = 0;
    {
        // Shown from this thread, owned by the main window; the GUI thread goes on meanwhile.
        const ModalBoxScope showing(ports_.modalBoxShowing);
        answer = ports_.dialogs.showMessageBox(request.caption, request.text, request.type);
    }
    sendAnswer(messageBoxAnswer(request.id, answer));
}

void ServerBoxes::sendAnswer(const std::string& answer) {
    // Checked when the box closes, not when it opened: the connection may have dropped while
    // the player was typing.
    if (ports_.connection.loggedIn) {
        ports_.connection.sendText(answer);
    }
}

} // namespace vendrel

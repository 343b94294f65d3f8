#include "dialogs/server_boxes.h"

#include "app/worker.h"
#include "net/connection.h"
#include "ports/dialog_service.h"
#include "ports/gui_thread.h"

namespace vendrel {

void ServerBoxes::prepareInputBox(const std::string& arguments, bool isMultiLine, bool isPassword) {
    // The arguments are copied into the job: the command they came in is gone by the time the
    // worker runs it.
    const std::uint64_t session = ports_.connection.session();
    ports_.worker.postJob([this, arguments, isMultiLine, isPassword, session] {
        runInputBox(parseInputBoxRequest(arguments, isMultiLine, isPassword), session);
    });
}

void ServerBoxes::prepareMessageBox(const std::string& arguments, bool isInBackground) {
    const std::uint64_t session = ports_.connection.session();
    if (isInBackground) {
        ports_.worker.postJob([this, arguments, session] {
            runMessageBox(parseMessageBoxRequest(arguments), session);
        });
    } else {
        runMessageBox(parseMessageBoxRequest(arguments), session);
    }
}

void ServerBoxes::runInputBox(const InputBoxRequest& request, std::uint64_t session) {
    InputBoxResult result;
    // The dialog belongs to the GUI thread; this job waits for it. When the main window is
    // already gone nothing runs and nothing is answered.
    (void)ports_.gui.run([&] {
        const ModalBoxScope showing(ports_.modalBoxShowing);
        result = ports_.dialogs.showInputBox(request.texts);
    });
    if (result.isConfirmed) {
        sendAnswer(session, inputBoxAnswer(request.id, result.text));
    }
}

void ServerBoxes::runMessageBox(const MessageBoxRequest& request, std::uint64_t session) {
    std::int32_t answer = 0;
    {
        // Shown from this thread, owned by the main window; the GUI thread goes on meanwhile.
        const ModalBoxScope showing(ports_.modalBoxShowing);
        answer = ports_.dialogs.showMessageBox(request.caption, request.text, request.type);
    }
    sendAnswer(session, messageBoxAnswer(request.id, answer));
}

void ServerBoxes::sendAnswer(std::uint64_t session, const std::string& answer) {
    // Checked when the box closes, not when it opened: the connection may have dropped while
    // the player was typing, and the server of a new login never asked.
    (void)ports_.connection.sendTextInSession(session, answer);
}

} // namespace vendrel

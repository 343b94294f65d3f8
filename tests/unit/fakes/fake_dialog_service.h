#pragma once
// Boxes that answer from a script and remember how they were shown: on which thread, and
// whether modalBoxShowing was set while they were open.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/server_boxes.h"
#include "ports/dialog_service.h"
#include "ports/gui_thread.h"

namespace vendrel::testing {

class FakeDialogService final : public DialogService {
public:
    struct Shown {
        InputBoxTexts input;
        std::u16string caption;
        std::u16string text;
        std::uint32_t type = 0;
        bool wasFlagSet = false;
        std::thread::id thread;
    };

    explicit FakeDialogService(const ModalBoxFlag& flag) : flag_(flag) {}

    // Scripted answers, in order; without one an input box is cancelled and a message box
    // answers 1 (OK).
    std::deque<InputBoxResult> inputAnswers;
    std::deque<std::int32_t> messageAnswers;
    // Runs while a box is open (for example to log the player out meanwhile).
    std::function<void()> whileOpen;

    InputBoxResult showInputBox(const InputBoxTexts& box) override {
        open({.input = box});
        std::lock_guard lock(mutex_);
        InputBoxResult result;
        if (!inputAnswers.empty()) {
            result = inputAnswers.front();
            inputAnswers.pop_front();
        }
        return result;
    }

    std::int32_t showMessageBox(const std::u16string& caption, const std::u16string& text,
                                std::uint32_t type) override {
        open({.caption = caption, .text = text, .type = type});
        std::lock_guard lock(mutex_);
        std::int32_t answer = 1;
        if (!messageAnswers.empty()) {
            answer = messageAnswers.front();
            messageAnswers.pop_front();
        }
        return answer;
    }

    [[nodiscard]] std::vector<Shown> shown() {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    void open(Shown shown) {
        shown.wasFlagSet = flag_.isShowing();
        shown.thread = std::this_thread::get_id();
        {
            std::lock_guard lock(mutex_);
            shown_.push_back(std::move(shown));
        }
        if (whileOpen) {
            whileOpen();
        }
    }

    const ModalBoxFlag& flag_;
    std::mutex mutex_;
    std::vector<Shown> shown_;
};

// The main window is gone: nothing runs on the GUI thread any more.
class ClosedGuiThread final : public GuiThread {
public:
    bool run(const std::function<void()>&) override { return false; }
};

} // namespace vendrel::testing

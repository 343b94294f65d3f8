#pragma once
// Boxes that answer from a script and remember how they were shown: on which thread, and
// whether modalBoxShowing was set while they were open. A held box stays open until the test
// closes it, as a player who has not answered yet.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/server_boxes.h"
#include "fakes/fake_client_ports.h"
#include "ports/dialog_service.h"
#include "ports/gui_thread.h"

namespace vendrel::testing {

class FakeDialogService final : public DialogService {
public:
    struct Shown {
        bool isInputBox = false;
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
    // The next this many boxes stay open until close() is called for each.
    int boxesToHold = 0;
    // Runs while a box is open (for example to log the player out meanwhile).
    std::function<void()> whileOpen;
    // When set, the GUI thread goes on while a held box is open, as the real one does.
    FakeGuiThread* gui = nullptr;

    InputBoxResult showInputBox(const InputBoxTexts& box) override {
        Shown shown;
        shown.isInputBox = true;
        shown.input = box;
        open(std::move(shown));
        std::lock_guard lock(mutex_);
        InputBoxResult result;
        if (!inputAnswers.empty()) {
            result = inputAnswers.front();
            inputAnswers.pop_front();
        }
        events_.push_back("close");
        changed_.notify_all();
        return result;
    }

    std::int32_t showMessageBox(const std::u16string& caption, const std::u16string& text,
                                std::uint32_t type) override {
        Shown shown;
        shown.caption = caption;
        shown.text = text;
        shown.type = type;
        open(std::move(shown));
        std::lock_guard lock(mutex_);
        std::int32_t answer = 1;
        if (!messageAnswers.empty()) {
            answer = messageAnswers.front();
            messageAnswers.pop_front();
        }
        events_.push_back("close");
        changed_.notify_all();
        return answer;
    }

    // Any thread: the next count boxes stay open, as boxesToHold set before they come.
    void holdNext(int count) {
        std::lock_guard lock(mutex_);
        boxesToHold += count;
    }

    // Closes the oldest held box.
    void close() {
        std::lock_guard lock(mutex_);
        ++closesAllowed_;
        changed_.notify_all();
    }

    // Test thread: an event of its own, placed between the boxes' "open" and "close".
    void note(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }

    // Waits, within a generous deadline, until count boxes have been opened.
    [[nodiscard]] bool waitForOpened(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30),
                                 [&] { return shown_.size() >= count; });
    }

    [[nodiscard]] std::vector<Shown> shown() {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    [[nodiscard]] std::vector<std::string> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    void open(Shown shown) {
        shown.wasFlagSet = flag_.isShowing();
        shown.thread = std::this_thread::get_id();
        bool isHeld = false;
        {
            std::lock_guard lock(mutex_);
            shown_.push_back(std::move(shown));
            events_.push_back("open");
            isHeld = boxesToHold > 0;
            if (isHeld) {
                --boxesToHold;
            }
            changed_.notify_all();
        }
        if (whileOpen) {
            whileOpen();
        }
        if (isHeld) {
            const auto waitForClose = [&] {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return closesAllowed_ > 0; });
                --closesAllowed_;
            };
            gui ? gui->pumpWhile(waitForClose) : waitForClose();
        }
    }

    const ModalBoxFlag& flag_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Shown> shown_;
    std::vector<std::string> events_;
    int closesAllowed_ = 0;
};

// The main window is gone: nothing runs on the GUI thread any more.
class ClosedGuiThread final : public GuiThread {
public:
    bool run(const std::function<void()>&) override { return false; }
};

} // namespace vendrel::testing

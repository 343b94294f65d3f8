#pragma once
// Recording fakes of the ports a client session reaches, safe to call from any thread.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ports/gui_thread.h"
#include "ports/history_sink.h"
#include "ports/shell.h"
#include "ports/sound_player.h"

namespace vendrel::testing {

// Runs the work at once on the caller's thread, one call at a time, as the GUI thread would.
class FakeGuiThread final : public GuiThread {
public:
    bool run(const std::function<void()>& work) override {
        if (owner_.load() == std::this_thread::get_id()) {
            work(); // already on the "GUI thread"
            return true;
        }
        std::lock_guard lock(mutex_);
        owner_ = std::this_thread::get_id();
        work();
        owner_ = std::thread::id();
        return true;
    }

private:
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_;
};

class RecordingHistory final : public HistorySink {
public:
    void historyAdd(const std::u16string& text, std::int32_t channelWord) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(text, channelWord);
    }
    std::vector<std::pair<std::u16string, std::int32_t>> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::u16string, std::int32_t>> lines_;
};

class RecordingShell final : public Shell {
public:
    std::vector<std::string> events;
    std::vector<std::u16string> errors;
    std::u16string clipboard;
    bool isActive = true;

    void openLink(const std::string& link) override { record("link " + link); }
    void flashWindow(std::int32_t count) override { record("flash " + std::to_string(count)); }
    bool isMainWindowActive() override { return isActive; }
    void showError(const std::u16string& caption, const std::u16string& text) override {
        std::lock_guard lock(mutex_);
        events.push_back("error");
        errors.push_back(caption + u": " + text);
    }
    void runCommand(std::int32_t id) override { record("command " + std::to_string(id)); }
    void postQuit() override { record("quit"); }
    std::u16string systemErrorText(int code) override {
        return u"system text " + std::u16string(1, char16_t(u'0' + code % 10));
    }
    void beep() override { record("beep"); }
    bool copyToClipboard(const std::u16string& text) override {
        std::lock_guard lock(mutex_);
        events.push_back("clipboard");
        clipboard = text;
        return true;
    }
    void tone(int frequency, int milliseconds) override {
        record("tone " + std::to_string(frequency) + " " + std::to_string(milliseconds));
    }

private:
    void record(std::string event) {
        std::lock_guard lock(mutex_);
        events.push_back(std::move(event));
    }
    std::mutex mutex_;
};

class QuietSounds final : public SoundPlayer {
public:
    Handle playSound(const std::string&, int) override { return 0; }
    void setLooping(Handle) override {}
    void stop(Handle) override {}
    bool isPlaying(Handle) override { return false; }
    bool isSoundLoaded(const std::string& name) override { return name == "door"; }
};

} // namespace vendrel::testing

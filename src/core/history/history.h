#pragma once
// The history: every line the server, the downloads and the options add, spoken and shown as
// its channel says, kept for the review keys, copying and saving. Everything here runs on the
// GUI thread; other threads reach it through HistoryRoute.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/history_sink.h"

namespace vendrel {

struct AppState;
class GuiThread;
class HistoryPane;
class Shell;
class SpeechOutput;
class SystemDialogs;

// Bit 24 of a channel word asks for this line's speech to interrupt.
inline constexpr std::int32_t kInterruptRequest = 0x1000000;

struct HistoryEntry {
    std::int32_t channel = 0; // 0 to 31
    std::u16string text;      // as received, formatting characters included
};

struct HistoryPorts {
    HistoryPane& pane;
    SpeechOutput& speech;
    Shell& shell;
    SystemDialogs& dialogs;
    // The main window is active or one of the server's boxes is open.
    std::function<bool()> isForeground;
};

class History {
public:
    History(AppState& state, const HistoryPorts& ports) : state_(state), ports_(ports) {}
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // The GUI thread's part of historyAdd: speak, show, keep, log.
    void add(const std::u16string& text, std::int32_t channelWord);
    // Moves the review by count visible entries (0 reads the current one again) and reads the
    // entry there, interrupting, on speech and braille.
    void review(std::int32_t count);
    void clear();
    void toggleReading();
    // Opens the first web or call link in the text, or beeps.
    void openLinkInText(std::u16string_view text);
    void selectView(std::int32_t number, bool isAbsolute);
    void copyView();
    void copyReviewed();
    // Asks for a file and writes the current view to it; wholeHistory saves view 0 whatever
    // view is current, with the rich text choice.
    void save(bool wholeHistory);
    // The main window's history and view commands; false for other ids.
    bool runCommand(std::int32_t id);

    [[nodiscard]] const std::vector<HistoryEntry>& entries() const { return entries_; }
    [[nodiscard]] std::int32_t reviewPosition() const { return reviewPosition_; }
    [[nodiscard]] bool isReadingMuted() const { return isReadingMuted_; }

private:
    [[nodiscard]] bool isVisible(std::size_t entry) const;
    [[nodiscard]] bool isReviewPositionValid() const;
    void saveCurrentView();
    void reportSaveFailure(const std::string& path);

    AppState& state_;
    HistoryPorts ports_;
    std::vector<HistoryEntry> entries_;
    std::int32_t reviewPosition_ = -1;
    bool isReadingMuted_ = false;
};

// The one history route for every thread: the line is handled on the GUI thread, and the
// caller waits for it. A channel beyond the table sounds a short tone first, on the caller's
// thread.
class HistoryRoute final : public HistorySink {
public:
    HistoryRoute(AppState& state, History& history, GuiThread& gui, Shell& shell)
        : state_(state), history_(history), gui_(gui), shell_(shell) {}
    void historyAdd(const std::u16string& text, std::int32_t channelWord) override;

private:
    AppState& state_;
    History& history_;
    GuiThread& gui_;
    Shell& shell_;
};

} // namespace vendrel

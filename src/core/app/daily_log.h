#pragma once
// The daily log: with "log.on", every line shown in the history is also written to a file
// named after the day it was opened ("2026-12-07.log" in the folder "log.dir"), so a player
// can read a game again later. Several runs of one day append to the same file, each beginning
// with its own "Log started on" line. GUI thread only.

#include <fstream>
#include <string>
#include <string_view>

namespace vendrel {

struct AppState;
struct LocalTime;

class DailyLog {
public:
    // Appends to the file, creating it; false when it cannot be opened.
    [[nodiscard]] bool open(const std::string& path);
    void close();
    [[nodiscard]] bool isOpen() const { return out_.is_open(); }
    // One line, written and flushed at once; nothing when the log is closed.
    void line(std::string_view text);

private:
    std::ofstream out_;
};

// The file of the day in the folder; a separator is put between them when the folder ends
// without one.
[[nodiscard]] std::string dailyLogPath(const std::string& folder, const LocalTime& now);

// Closes the log if it is open, then opens today's file in "log.dir" (the user folder when the
// setting is empty; the folder is never created). A file that cannot be opened is reported to
// the player in an error box and the log stays closed. Returns whether it opened.
bool openDailyLog(AppState& state);

} // namespace vendrel

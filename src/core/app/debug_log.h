#pragma once
// debug.txt: one line per start-up step or notable event, no time stamps, emptied at every
// start. Any thread may write; each line is written and flushed whole under a lock, so lines
// of different threads never mix.

#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace vendrel {

class DebugLog {
public:
    // Truncates or creates the file. A log that cannot be opened loses its lines silently:
    // there is nowhere else to report it.
    void open(const std::string& path);
    void close();
    [[nodiscard]] bool isOpen() const;

    // Any thread.
    void line(std::string_view text);
    void line(std::string_view text, std::string_view value);

private:
    mutable std::mutex mutex_;
    std::ofstream out_;
};

} // namespace vendrel

#pragma once
// The speech transcript: every say and braille call as one UTF-8 line, appended and flushed at
// once, so the end-to-end tests hear the client and a player can attach what was spoken to a
// bug report. A line reads "say 1 text" (kind, interrupt flag, text); braille has no interrupt
// and always shows 0. Line breaks and backslashes in the text are written as \n, \r and \\ so
// that one call stays one line.

#include <fstream>
#include <string>
#include <string_view>

namespace vendrel {

enum class SpeechKind { Say, Braille };

class SpeechTranscript {
public:
    // An empty path, or one that cannot be opened, leaves the transcript off.
    void open(const std::string& path);
    [[nodiscard]] bool isOpen() const { return out_.is_open(); }

    // Not locked: the bridge records under its own lock, which also fixes the order.
    void record(SpeechKind kind, std::u16string_view text, bool interrupt);

private:
    std::ofstream out_;
};

// The line without its line break.
[[nodiscard]] std::string transcriptLine(SpeechKind kind, std::u16string_view text, bool interrupt);

} // namespace vendrel

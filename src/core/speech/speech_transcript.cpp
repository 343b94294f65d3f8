#include "speech/speech_transcript.h"

#include "app/files.h"
#include "text/utf.h"

namespace vendrel {

void SpeechTranscript::open(const std::string& path) {
    if (path.empty()) {
        return;
    }
    out_.open(pathFromUtf8(path), std::ios::binary | std::ios::app);
}

void SpeechTranscript::record(SpeechKind kind, std::u16string_view text, bool interrupt) {
    if (!out_.is_open()) {
        return;
    }
    // CRLF like debug.txt, so both read the same in Notepad.
    const std::string line = transcriptLine(kind, text, interrupt) + "\r\n";
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.flush();
}

std::string transcriptLine(SpeechKind kind, std::u16string_view text, bool interrupt) {
    std::string line = kind == SpeechKind::Say ? "say " : "braille ";
    line += interrupt && kind == SpeechKind::Say ? "1 " : "0 ";
    for (const char c : toNarrow(text)) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
    return line;
}

} // namespace vendrel

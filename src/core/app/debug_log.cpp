#include "app/debug_log.h"

#include "app/files.h"

namespace vendrel {

void DebugLog::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (out_.is_open()) {
        out_.close();
    }
    // Binary with explicit CRLF, so the file reads the same in Notepad whatever built it.
    out_.open(pathFromUtf8(path), std::ios::binary | std::ios::trunc);
}

void DebugLog::close() {
    std::lock_guard lock(mutex_);
    out_.close();
}

bool DebugLog::isOpen() const {
    std::lock_guard lock(mutex_);
    return out_.is_open();
}

void DebugLog::line(std::string_view text) {
    line(text, {});
}

void DebugLog::line(std::string_view text, std::string_view value) {
    std::lock_guard lock(mutex_);
    if (!out_.is_open()) {
        return;
    }
    std::string whole;
    whole.reserve(text.size() + value.size() + 2);
    whole.append(text).append(value).append("\r\n");
    out_.write(whole.data(), static_cast<std::streamsize>(whole.size()));
    out_.flush();
}

} // namespace vendrel

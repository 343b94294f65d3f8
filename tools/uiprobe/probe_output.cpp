#include "probe_output.h"

#include <windows.h>

namespace uiprobe {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), size, nullptr, nullptr);
    return result;
}

// Written straight to the handle: no C runtime buffering or code-page translation stands
// between us and the test that reads the pipe, and each line leaves at once.
void writeLine(const std::string& line) {
    const std::string withEnd = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), withEnd.data(), static_cast<DWORD>(withEnd.size()),
              &written, nullptr);
}

void writeError(std::string_view message) {
    const std::string line = "uiprobe: " + std::string(message) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

std::string jsonString(std::wstring_view text) {
    std::string result = "\"";
    for (const char c : toUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            result += '\\';
            result += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            result += "\\u00";
            result += kHex[byte >> 4];
            result += kHex[byte & 0xF];
        } else {
            result += c;
        }
    }
    return result + "\"";
}

std::string jsonArray(const std::vector<std::string>& items) {
    std::string result = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        result += (i == 0 ? "" : ",") + items[i];
    }
    return result + "]";
}

} // namespace uiprobe

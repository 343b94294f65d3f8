#pragma once
// uiprobe's output: one JSON document per line, in UTF-8, on standard output; complaints on
// standard error. Shared by the window commands and the file commands.

#include <string>
#include <string_view>
#include <vector>

namespace uiprobe {

inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotFound = 3;

std::string toUtf8(std::wstring_view text);
void writeLine(const std::string& line);
void writeError(std::string_view message);
std::string jsonString(std::wstring_view text);
std::string jsonArray(const std::vector<std::string>& items);

// A JSON object built field by field; values are already JSON.
class JsonObject {
public:
    JsonObject& raw(std::string_view name, const std::string& json) {
        text_ += text_.empty() ? "{" : ",";
        text_ += "\"" + std::string(name) + "\":" + json;
        return *this;
    }
    JsonObject& text(std::string_view name, std::wstring_view value) {
        return raw(name, jsonString(value));
    }
    JsonObject& number(std::string_view name, long long value) {
        return raw(name, std::to_string(value));
    }
    JsonObject& flag(std::string_view name, bool value) {
        return raw(name, value ? "true" : "false");
    }
    [[nodiscard]] std::string str() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

} // namespace uiprobe

#pragma once
// Flat key=value files: config.ini and the views and channels files. Keys are exact byte
// strings; structure lives in the callers' dotted keys ("servers[1].host").

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vendrel {

// Value escapes. A line feed, carriage return or tab is written as backslash-n, -r or -t, so a
// value survives a save and load. A run of backslashes that stands before one of the letters
// r, n or t is written doubled, so that "C:\Users\tom" comes back as it was written; a lone
// backslash before one of those letters still reads as the control character, as in files
// written by hand or by earlier versions.
[[nodiscard]] std::string unescapeIniValue(std::string_view raw);
[[nodiscard]] std::string escapeIniValue(std::string_view value);

// Calls entry(key, value) for each entry line of the text, values unescaped: lines end with LF
// or CRLF; empty lines and lines whose very first character is ';' or '#' are skipped; the key
// is everything before the first '=', nothing is trimmed; lines without '=' are skipped; a
// value ends at its first NUL byte.
void forEachIniEntry(std::string_view text,
                     const std::function<void(std::string_view key, std::string value)>& entry);

class IniReader {
public:
    IniReader();

    // Adds the entries of the file; a missing or unreadable file adds nothing.
    void load(const std::string& path);
    // The same over text already in memory (lines ended by LF or CRLF).
    void loadText(std::string_view text);

    [[nodiscard]] bool has(const std::string& key) const;
    [[nodiscard]] std::string getString(const std::string& key, const std::string& fallback) const;
    [[nodiscard]] bool getBool(const std::string& key, bool fallback) const;
    [[nodiscard]] float getFloat(const std::string& key, float fallback) const;
    [[nodiscard]] std::int32_t getInt(const std::string& key, std::int32_t fallback) const;
    [[nodiscard]] std::int64_t getInt64(const std::string& key, std::int64_t fallback) const;
    [[nodiscard]] std::size_t size() const { return entries_.size(); }

private:
    const std::string* find(const std::string& key) const;

    std::unordered_map<std::string, std::string> entries_;
};

class IniWriter {
public:
    void setString(const std::string& key, std::string value);
    void setWide(const std::string& key, std::u16string_view value);
    void setBool(const std::string& key, bool value);
    void setFloat(const std::string& key, float value);
    void setInt(const std::string& key, std::int32_t value);
    void setInt64(const std::string& key, std::int64_t value);

    // The file's text: every entry in byte-wise ascending key order, CRLF line ends.
    [[nodiscard]] std::string text() const;
    // Writes a temporary file beside the target and moves it over the target, so a crash or a
    // full disk leaves the old file whole. Returns false when nothing could be written.
    [[nodiscard]] bool save(const std::string& path) const;

    [[nodiscard]] const std::map<std::string, std::string>& entries() const { return entries_; }

private:
    // std::string compares as unsigned bytes, which is the order the files are written in.
    std::map<std::string, std::string> entries_;
};

} // namespace vendrel

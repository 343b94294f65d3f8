#include "config/ini_store.h"

#include <cmath>

#include "app/files.h"
#include "text/numbers.h"
#include "text/utf.h"

namespace vendrel {
namespace {

bool isEscapeLetter(char c) {
    return c == 'r' || c == 'n' || c == 't';
}

char controlFor(char letter) {
    return letter == 'r' ? '\r' : letter == 'n' ? '\n' : '\t';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string unescapeIniValue(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    std::size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] != '\\') {
            out.push_back(raw[i++]);
            continue;
        }
        std::size_t run = 0;
        while (i + run < raw.size() && raw[i + run] == '\\') {
            ++run;
        }
        const std::size_t after = i + run;
        if (after < raw.size() && isEscapeLetter(raw[after])) {
            out.append(run / 2, '\\');
            out.push_back(run % 2 == 1 ? controlFor(raw[after]) : raw[after]);
            i = after + 1;
        } else {
            out.append(run, '\\');
            i = after;
        }
    }
    return out;
}

std::string escapeIniValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    std::size_t i = 0;
    while (i < value.size()) {
        if (value[i] == '\\') {
            std::size_t run = 0;
            while (i + run < value.size() && value[i + run] == '\\') {
                ++run;
            }
            const std::size_t after = i + run;
            const bool beforeLetterOrEscape =
                after < value.size() && (isEscapeLetter(value[after]) || value[after] == '\r' ||
                                         value[after] == '\n' || value[after] == '\t');
            out.append(beforeLetterOrEscape ? run * 2 : run, '\\');
            i = after;
            continue;
        }
        const char c = value[i++];
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

IniReader::IniReader() : entries_(10) {
    entries_.max_load_factor(1.0f);
}

void IniReader::load(const std::string& path) {
    if (const auto text = readWholeFile(path)) {
        loadText(*text);
    }
}

void forEachIniEntry(std::string_view text,
                     const std::function<void(std::string_view key, std::string value)>& entry) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            // A value ends at a NUL byte, as it would in the C strings of the Windows calls
            // that show and use it; the rest would only be written back into the file.
            const std::string_view value = line.substr(equals + 1);
            entry(line.substr(0, equals), unescapeIniValue(value.substr(0, value.find('\0'))));
        }
    }
}

void IniReader::loadText(std::string_view text) {
    forEachIniEntry(text, [this](std::string_view key, std::string value) {
        entries_[std::string(key)] = std::move(value);
    });
}

const std::string* IniReader::find(const std::string& key) const {
    const auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

bool IniReader::has(const std::string& key) const {
    return find(key) != nullptr;
}

std::string IniReader::getString(const std::string& key, const std::string& fallback) const {
    const std::string* value = find(key);
    return value ? *value : fallback;
}

bool IniReader::getBool(const std::string& key, bool fallback) const {
    const std::string* value = find(key);
    if (!value) {
        return fallback;
    }
    return *value == "1" || equalsIgnoringCase(*value, "true") || equalsIgnoringCase(*value, "on");
}

float IniReader::getFloat(const std::string& key, float fallback) const {
    const std::string* value = find(key);
    return value ? static_cast<float>(toDouble(*value)) : fallback;
}

std::int32_t IniReader::getInt(const std::string& key, std::int32_t fallback) const {
    const std::string* value = find(key);
    return value ? toInt32(*value) : fallback;
}

std::int64_t IniReader::getInt64(const std::string& key, std::int64_t fallback) const {
    const std::string* value = find(key);
    return value ? toInt64(*value) : fallback;
}

void IniWriter::setString(const std::string& key, std::string value) {
    entries_[key] = std::move(value);
}

void IniWriter::setWide(const std::string& key, std::u16string_view value) {
    entries_[key] = toNarrow(value);
}

void IniWriter::setBool(const std::string& key, bool value) {
    entries_[key] = value ? "true" : "false";
}

void IniWriter::setFloat(const std::string& key, float value) {
    entries_[key] = formatDouble14(static_cast<double>(value));
}

void IniWriter::setInt(const std::string& key, std::int32_t value) {
    entries_[key] = std::to_string(value);
}

void IniWriter::setInt64(const std::string& key, std::int64_t value) {
    entries_[key] = std::to_string(value);
}

std::string IniWriter::text() const {
    std::string out;
    for (const auto& [key, value] : entries_) {
        out += key;
        out += '=';
        out += escapeIniValue(value);
        out += "\r\n";
    }
    return out;
}

bool IniWriter::save(const std::string& path) const {
    return replaceFileAtomically(path, text());
}

} // namespace vendrel

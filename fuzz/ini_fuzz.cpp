// Any text as an INI file (config.ini, views and channels files, language files share the
// reader). What is read, written back and read again must be the same entries: the writer's
// escapes, CRLF line ends and key order must never change a key or a value, and a value must
// survive escaping whatever bytes it holds (up to the NUL byte where every value ends).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "config/ini_store.h"
#include "fuzz_failure.h"

using vendrel::fuzzing::fail;

namespace {

using Entries = std::map<std::string, std::string>;

Entries read(std::string_view text) {
    Entries entries;
    vendrel::forEachIniEntry(text, [&](std::string_view key, std::string value) {
        entries[std::string(key)] = std::move(value); // a later line replaces an earlier one
    });
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Entries entries = read(text);

    vendrel::IniWriter writer;
    for (const auto& [key, value] : entries) {
        if (key.find('\n') != std::string::npos || value.find('\0') != std::string::npos) {
            fail("the reader gave a key with a line feed or a value with a NUL byte");
        }
        writer.setString(key, value);
    }
    if (read(writer.text()) != entries) {
        fail("entries change when written and read again");
    }

    vendrel::IniReader reader;
    reader.loadText(text);
    if (reader.size() != entries.size()) {
        fail("IniReader holds another number of entries");
    }
    for (const auto& [key, value] : entries) {
        if (reader.getString(key, "\x01missing") != value) {
            fail("IniReader gives another value");
        }
    }

    // The whole input as one value (NUL bytes and all: escaping does not stop at them).
    if (vendrel::unescapeIniValue(vendrel::escapeIniValue(text)) != text) {
        fail("a value does not survive escaping");
    }
    return 0;
}

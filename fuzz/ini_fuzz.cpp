// Any text as an INI file (config.ini, the views and channels files and the language files
// share the reader; players edit them). What is read, written back and read again must be the
// same entries: the writer's escapes, CRLF line ends and key order never change a key or a
// value, and a value survives escaping whatever bytes it holds. Read as a language file, each
// message is the file's value (the key itself when empty), and every text the program formats
// from one, with the arguments it really passes, stays within the size its caller gives.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_store.h"
#include "config/message_table.h"
#include "fuzz_failure.h"
#include "text/format.h"
#include "text/utf.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

using Entries = std::map<std::string, std::string>;

Entries read(std::string_view text) {
    Entries entries;
    forEachIniEntry(text, [&](std::string_view key, std::string value) {
        entries[std::string(key)] = std::move(value); // a later line replaces an earlier one
    });
    return entries;
}

struct Use {
    const char* key;
    std::size_t size;
    std::vector<FormatArg> args;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Entries entries = read(text);
    IniWriter writer;
    IniReader reader;
    reader.loadText(text);
    MessageTable messages;
    messages.addText(text);
    for (const auto& [key, value] : entries) {
        if (key.find('\n') != std::string::npos || value.find('\0') != std::string::npos) {
            fail("the reader gave a key with a line feed or a value with a NUL byte", key);
        }
        if (reader.getString(key, "\x01missing") != value ||
            messages.tr(key) != toWide(value.empty() ? key : value)) {
            fail("IniReader or the messages give another value", key);
        }
        writer.setString(key, value);
    }
    if (read(writer.text()) != entries || reader.size() != entries.size()) {
        fail("entries change when written and read again, or IniReader holds others");
    }
    // The whole input as one value (NUL bytes and all: escaping does not stop at them).
    if (unescapeIniValue(escapeIniValue(text)) != text) {
        fail("a value does not survive escaping");
    }

    const std::u16string name = u"sounds/door.ogg";
    const std::u16string path = u"C:\\Users\\Zo\u00e9\\history.txt";
    const Use uses[] = {
        {"winTitle1", 512, {2, 1, 1}},     {"winTitle2", 512, {u"Vendrel lounge", u"demo"}},
        {"downloadingStart", 512, {name}}, {"downloadingFail", 512, {name, -7}},
        {"downloadingOk", 512, {name}},    {"soundvolume", 255, {50}},
        {"streamsvolume", 255, {25}},      {"errorsavehistory", 1024, {path}},
        {"errorlogcreation", 512, {path}}, {"historyLineCut", 256, {16384}},
    };
    for (const Use& use : uses) {
        if (formatWideArgs(use.size, messages.tr(use.key), use.args).size() > use.size) {
            fail("a formatted message is longer than its caller's size", use.key);
        }
    }
    const std::u16string prolog = messages.tr("connecterrorprolog");
    const std::u16string error = messages.tr("connecterror");
    if (formatWide(2047, u"%s\r\n%s\r\nCode d'erreur: %d", prolog, error, 10061).size() > 2047) {
        fail("the connection error is longer than its caller's size");
    }
    return 0;
}

// Any text as a language file (players edit them): the messages it defines, and the texts
// the program formats from them with the arguments it really passes (numbers, names, paths,
// server names), so every hostile format meets the argument list it will meet in use. Each
// message must read back as the file's value (the key itself when empty), and every
// formatted text must stay within the size its caller gives.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "config/ini_store.h"
#include "config/message_table.h"
#include "fuzz_failure.h"
#include "text/format.h"
#include "text/utf.h"

using vendrel::fuzzing::fail;

namespace {

void checkSize(const std::u16string& text, std::size_t size, std::string_view key) {
    if (text.size() > size) {
        fail("a formatted message is longer than its caller's size", key);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vendrel::MessageTable messages;
    messages.addText(text);

    std::map<std::string, std::string> entries;
    vendrel::forEachIniEntry(text, [&](std::string_view key, std::string value) {
        entries[std::string(key)] = std::move(value);
    });
    for (const auto& [key, value] : entries) {
        if (messages.tr(key) != vendrel::toWide(value.empty() ? key : value)) {
            fail("a message differs from the file's value", key);
        }
    }

    const std::u16string name = u"sounds/door.ogg";
    const std::u16string path = u"C:\\Users\\Zo\u00e9\\history.txt";
    checkSize(vendrel::formatWide(512, messages.tr("winTitle1"), 2, 1, 1), 512, "winTitle1");
    checkSize(vendrel::formatWide(512, messages.tr("winTitle2"), u"Vendrel lounge", u"demo"), 512,
              "winTitle2");
    checkSize(vendrel::formatWide(512, messages.tr("downloadingStart"), name), 512,
              "downloadingStart");
    checkSize(vendrel::formatWide(512, messages.tr("downloadingFail"), name, -7), 512,
              "downloadingFail");
    checkSize(vendrel::formatWide(512, messages.tr("downloadingOk"), name), 512, "downloadingOk");
    checkSize(vendrel::formatWide(255, messages.tr("soundvolume"), 50), 255, "soundvolume");
    checkSize(vendrel::formatWide(255, messages.tr("streamsvolume"), 25), 255, "streamsvolume");
    checkSize(vendrel::formatWide(1024, messages.tr("errorsavehistory"), path), 1024,
              "errorsavehistory");
    checkSize(vendrel::formatWide(512, messages.tr("errorlogcreation"), path), 512,
              "errorlogcreation");
    checkSize(vendrel::formatWide(256, messages.tr("historyLineCut"), 16384), 256,
              "historyLineCut");
    checkSize(vendrel::formatWide(2047, u"%s\r\n%s\r\nCode d'erreur: %d",
                                  messages.tr("connecterrorprolog"), messages.tr("connecterror"),
                                  10061),
              2047, "connecterror");
    return 0;
}

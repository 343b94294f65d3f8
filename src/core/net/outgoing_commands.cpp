#include "net/outgoing_commands.h"

#include "net/connection.h"
#include "text/format.h"
#include "text/utf.h"

namespace vendrel {

std::string menuSelectionText(std::int32_t menuId, std::int32_t index,
                              std::optional<std::u16string_view> itemKey) {
    if (!itemKey) {
        return formatText(512, "msel %d\x7f-1\x7f-1", menuId);
    }
    return formatText(512, "msel %d\x7f%d\x7f%s", menuId, index, toNarrow(*itemKey));
}

std::string keyText(std::int32_t code) {
    return formatText(64, "key %d", code);
}

std::string menuKeyText(std::int32_t code, std::int32_t menuId, std::int32_t selection,
                        std::u16string_view itemKey) {
    return formatText(512, "mkey %d\x7f%d\x7f%d\x7f%s", code, menuId, selection, toNarrow(itemKey));
}

std::string chatText(std::string_view utf8) {
    return formatText(4096, "chat %s", utf8);
}

std::int32_t clampSelection(std::int32_t selection, std::size_t itemCount) {
    if (itemCount == 0 || selection < 0) {
        return 0;
    }
    return static_cast<std::size_t>(selection) >= itemCount
               ? static_cast<std::int32_t>(itemCount - 1)
               : selection;
}

bool OutgoingCommands::send(std::string_view text) {
    return connection_.loggedIn && connection_.sendText(text);
}

bool OutgoingCommands::sendMenuSelection(std::int32_t menuId, std::int32_t index,
                                         std::optional<std::u16string_view> itemKey) {
    return send(menuSelectionText(menuId, index, itemKey));
}

bool OutgoingCommands::sendKey(int virtualKey, bool shift, bool ctrl, bool alt) {
    return send(keyText(keyCode(virtualKey, shift, ctrl, alt)));
}

bool OutgoingCommands::sendMenuKey(int virtualKey, bool shift, bool ctrl, bool alt,
                                   std::int32_t menuId, std::int32_t selection,
                                   std::u16string_view itemKey) {
    return send(menuKeyText(keyCode(virtualKey, shift, ctrl, alt), menuId, selection, itemKey));
}

bool OutgoingCommands::sendChat(std::string_view utf8) {
    return send(chatText(utf8));
}

bool OutgoingCommands::sendQuit() {
    return send("quit");
}

bool OutgoingCommands::sendF10() {
    return send("key 121");
}

bool OutgoingCommands::sendRaw(std::string_view text) {
    return send(text);
}

} // namespace vendrel

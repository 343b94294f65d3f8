#pragma once
// What the player does, sent to the server as short text commands, only while logged in.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel {

class Connection;

// Virtual-key code + 256 with Shift, + 512 with Ctrl, + 1024 with Alt.
[[nodiscard]] constexpr std::int32_t keyCode(int virtualKey, bool shift, bool ctrl, bool alt) {
    return virtualKey + (shift ? 256 : 0) + (ctrl ? 512 : 0) + (alt ? 1024 : 0);
}

// The texts, each cut to its limit. No key means the menu was cancelled.
[[nodiscard]] std::string menuSelectionText(std::int32_t menuId, std::int32_t index,
                                            std::optional<std::u16string_view> itemKey);
[[nodiscard]] std::string keyText(std::int32_t code);
[[nodiscard]] std::string menuKeyText(std::int32_t code, std::int32_t menuId,
                                      std::int32_t selection, std::u16string_view itemKey);
[[nodiscard]] std::string chatText(std::string_view utf8);

// The selection a menu key reports: clamped into the menu's items.
[[nodiscard]] std::int32_t clampSelection(std::int32_t selection, std::size_t itemCount);

class OutgoingCommands {
public:
    explicit OutgoingCommands(Connection& connection) : connection_(connection) {}

    // GUI thread (sendRaw also the worker). Each returns whether the text went out; nothing
    // is sent while not logged in.
    bool sendMenuSelection(std::int32_t menuId, std::int32_t index,
                           std::optional<std::u16string_view> itemKey);
    bool sendKey(int virtualKey, bool shift, bool ctrl, bool alt);
    bool sendMenuKey(int virtualKey, bool shift, bool ctrl, bool alt, std::int32_t menuId,
                     std::int32_t selection, std::u16string_view itemKey);
    bool sendChat(std::string_view utf8);
    bool sendQuit();
    // False when not logged in: F10 then opens the client's own options instead.
    [[nodiscard]] bool sendF10();
    bool sendRaw(std::string_view text);

private:
    bool send(std::string_view text);

    Connection& connection_;
};

} // namespace vendrel

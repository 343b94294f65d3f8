#pragma once
// Recognising a server message: its keyword by prefix, in the fixed order that is part of the
// protocol ("sai" before "say", "say" catching "sayxyz"), and its arguments cut by the
// dispatcher's rules. Pure: no effect happens here.

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrel {

enum class CommandKind {
    Unknown,
    Ping,
    SayInterrupt, // sai
    Say,
    Play,
    InputBox,          // inbx
    InputBoxMultiLine, // inbm
    InputBoxPassword,  // inbp
    MenuUpdateItems,   // mupi
    Menu,
    MenuUpdate, // mupd
    MenuClose,  // mcls
    MenuCloseAll,
    MenuMove,           // mmve
    ReplyIfMenuTop,     // midt
    ReplyIfMenuExists,  // midc
    LocalMenu,          // lmnu
    LocalCommand,       // lcmd
    MessageBox,         // msgb
    MessageBoxBlocking, // msbm
    WebLink,            // webu
    ChangeLanguage,     // clng
    ConnectFourMove,    // cn4m
    ReversiMove,        // rv1m
    FocusChat,
    SoundState,
    Download, // dwnl
    Flash,    // flsh
    Quit,
};

struct ServerCommand {
    CommandKind kind = CommandKind::Unknown;
    // Read as strtol does with base 0 where longs are 32 bits: saturated at the 32-bit limits.
    std::int32_t number = 0;  // the leading number, where the command has one
    std::int32_t number2 = 0; // flsh: the count
    std::string text;         // the text or argument list, as the command's rule cuts it
};

// Messages shorter than this are ignored without a word.
inline constexpr std::size_t kMinCommandLength = 4;

// Unknown for a message that matches no keyword (and for one that is too short).
[[nodiscard]] ServerCommand parseServerCommand(std::string_view message);

// The keyword's name for logs and tests ("sai", "inbx", ...).
[[nodiscard]] std::string_view commandName(CommandKind kind);

} // namespace vendrel

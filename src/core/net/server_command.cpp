#include "net/server_command.h"

#include <array>

#include "text/numbers.h"

namespace vendrel {
namespace {

// How a command's arguments are cut.
enum class Args {
    None,
    NumberThenText,      // number after the keyword, text after the message's first blank
    NumberThenTextFrom6, // midt, midc: the blank is looked for from the seventh character on
    NumberThenArgText,   // focuschat, soundstate: the blank of the argument list
    NumberThenNumber,    // flsh: the text read as a second number
    Rest,                // everything after the keyword
    Number,              // a number after the keyword
    NumberFrom6,         // mcls, lcmd: from the sixth character on
    WholeMessage,        // cn4m, rv1m: the job takes the copy apart itself
};

struct Keyword {
    std::string_view text;
    CommandKind kind;
    Args args;
    std::size_t argsFrom; // where the argument list begins
};

// The order is part of the protocol.
constexpr std::array<Keyword, 28> kKeywords = {{
    {"ping", CommandKind::Ping, Args::None, 4},
    {"sai", CommandKind::SayInterrupt, Args::NumberThenText, 3},
    {"say", CommandKind::Say, Args::NumberThenText, 3},
    {"play", CommandKind::Play, Args::NumberThenText, 4},
    {"inbx ", CommandKind::InputBox, Args::Rest, 5},
    {"inbm ", CommandKind::InputBoxMultiLine, Args::Rest, 5},
    {"inbp ", CommandKind::InputBoxPassword, Args::Rest, 5},
    {"mupi ", CommandKind::MenuUpdateItems, Args::Rest, 5},
    {"menu ", CommandKind::Menu, Args::Rest, 5},
    {"mupd ", CommandKind::MenuUpdate, Args::Rest, 5},
    {"mcls", CommandKind::MenuClose, Args::NumberFrom6, 5},
    {"mcla", CommandKind::MenuCloseAll, Args::None, 4},
    {"mmve ", CommandKind::MenuMove, Args::Rest, 5},
    {"midt ", CommandKind::ReplyIfMenuTop, Args::NumberThenTextFrom6, 5},
    {"midc ", CommandKind::ReplyIfMenuExists, Args::NumberThenTextFrom6, 5},
    {"lmnu ", CommandKind::LocalMenu, Args::Number, 5},
    {"lcmd", CommandKind::LocalCommand, Args::NumberFrom6, 5},
    {"msgb ", CommandKind::MessageBox, Args::Rest, 5},
    {"msbm ", CommandKind::MessageBoxBlocking, Args::Rest, 5},
    {"webu ", CommandKind::WebLink, Args::Rest, 5},
    {"clng ", CommandKind::ChangeLanguage, Args::Rest, 5},
    {"cn4m ", CommandKind::ConnectFourMove, Args::WholeMessage, 0},
    {"rv1m ", CommandKind::ReversiMove, Args::WholeMessage, 0},
    {"focuschat ", CommandKind::FocusChat, Args::NumberThenArgText, 10},
    {"soundstate", CommandKind::SoundState, Args::NumberThenArgText, 11},
    {"dwnl ", CommandKind::Download, Args::Rest, 5},
    {"flsh", CommandKind::Flash, Args::NumberThenNumber, 4},
    {"quit", CommandKind::Quit, Args::None, 4},
}};

std::string_view from(std::string_view text, std::size_t index) {
    return index < text.size() ? text.substr(index) : std::string_view();
}

// The text after the first blank at or after start; the whole text without one.
std::string_view afterBlank(std::string_view text, std::size_t start) {
    const std::size_t blank = text.find(' ', start);
    return blank == std::string_view::npos ? text : text.substr(blank + 1);
}

} // namespace

ServerCommand parseServerCommand(std::string_view message) {
    ServerCommand command;
    if (message.size() < kMinCommandLength) {
        return command;
    }
    for (const Keyword& keyword : kKeywords) {
        if (message.substr(0, keyword.text.size()) != keyword.text) {
            continue;
        }
        command.kind = keyword.kind;
        const std::string_view args = from(message, keyword.argsFrom);
        switch (keyword.args) {
        case Args::None:
            break;
        case Args::NumberThenText:
            command.number = toInt32(args);
            command.text = afterBlank(message, 0);
            break;
        case Args::NumberThenTextFrom6:
            command.number = toInt32(args);
            command.text = afterBlank(message, 6);
            break;
        case Args::NumberThenArgText:
            command.number = toInt32(args);
            command.text = afterBlank(args, 0);
            break;
        case Args::NumberThenNumber:
            command.number = toInt32(args);
            command.number2 = toInt32(afterBlank(message, 0));
            break;
        case Args::Rest:
            command.text = args;
            break;
        case Args::Number:
        case Args::NumberFrom6:
            command.number = toInt32(args);
            break;
        case Args::WholeMessage:
            command.text = message;
            break;
        }
        return command;
    }
    return command;
}

std::string_view commandName(CommandKind kind) {
    for (const Keyword& keyword : kKeywords) {
        if (keyword.kind == kind) {
            const std::size_t blank = keyword.text.find(' ');
            return keyword.text.substr(0, blank);
        }
    }
    return "unknown";
}

} // namespace vendrel

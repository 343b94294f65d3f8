#pragma once
// The command loop: one server message at a time, handed to the effect its keyword names.

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrel {

class CommandEffects;
class Connection;

// The loop of a logged-in connection; returns when the connection is over. Connection thread.
void runCommands(Connection& connection, CommandEffects& effects);

// One message. Connection thread.
void dispatchCommand(std::string_view message, Connection& connection, CommandEffects& effects);

// "&&" in a menu reply stands for the current menu's id.
[[nodiscard]] std::string menuReplyText(std::string_view reply, std::int32_t currentMenuId);

} // namespace vendrel

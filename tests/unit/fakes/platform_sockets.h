#pragma once
// The platform's real sockets, for tests that talk to the lounge server on loopback.

#include <memory>

#include "ports/socket_system.h"

namespace vendrel::testing {

[[nodiscard]] SocketSystem& platformSockets();

} // namespace vendrel::testing

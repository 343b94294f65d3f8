#include "fakes/platform_sockets.h"

#ifdef _WIN32
#include <winsock2.h>

#include "win_socket_system.h"
#else
#include "posix_socket_system.h"
#endif

namespace vendrel::testing {

SocketSystem& platformSockets() {
#ifdef _WIN32
    static const bool isStarted = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 0), &data) == 0;
    }();
    (void)isStarted;
    static win::WinSocketSystem sockets;
#else
    static PosixSocketSystem sockets;
#endif
    return sockets;
}

} // namespace vendrel::testing

#include "win_socket_system.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace vendrel::win {

int WinSocketSystem::connect(const std::string& host, int port, Handle& handle) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        const int error = WSAGetLastError();
        return error != 0 ? error : WSAHOST_NOT_FOUND;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(static_cast<u_short>(port));
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        return WSAGetLastError();
    }
    handle = static_cast<Handle>(socket);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return WSAGetLastError();
    }
    return 0;
}

long WinSocketSystem::write(Handle handle, const char* bytes, std::size_t count) {
    const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    const int written = ::send(static_cast<SOCKET>(handle), bytes, piece, 0);
    return written == SOCKET_ERROR ? -1 : written;
}

long WinSocketSystem::read(Handle handle, char* buffer, std::size_t count, int timeoutMs) {
    const auto socket = static_cast<SOCKET>(handle);
    if (timeoutMs > 0) {
        WSAPOLLFD wait{socket, POLLRDNORM, 0};
        const int ready = WSAPoll(&wait, 1, timeoutMs);
        if (ready == 0) {
            return -2;
        }
        if (ready == SOCKET_ERROR) {
            return -1;
        }
    }
    const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    const int got = ::recv(socket, buffer, piece, 0);
    return got == SOCKET_ERROR ? -1 : got;
}

void WinSocketSystem::shutdown(Handle handle) {
    ::shutdown(static_cast<SOCKET>(handle), SD_BOTH);
}

void WinSocketSystem::close(Handle handle) {
    closesocket(static_cast<SOCKET>(handle));
}

} // namespace vendrel::win

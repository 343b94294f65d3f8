#include "win_socket_system.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "schannel_session.h"

namespace vendrel::win {
namespace {

int connectPlain(const std::string& host, int port, SocketSystem::Handle& handle) {
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
    handle = static_cast<SocketSystem::Handle>(socket);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return WSAGetLastError();
    }
    return 0;
}

} // namespace

WinSocketSystem::WinSocketSystem() = default;
WinSocketSystem::~WinSocketSystem() = default;

int WinSocketSystem::connect(const std::string& host, int port, Security security, Handle& handle) {
    const int connected = connectPlain(host, port, handle);
    if (connected != 0 || security == Security::Plain) {
        return connected;
    }
    std::unique_ptr<SchannelSession> session;
    const int opened = SchannelSession::open(static_cast<SOCKET>(handle), host, session);
    if (opened != 0) {
        return opened; // the socket is closed by its owner; nothing ever goes out in clear
    }
    std::lock_guard lock(sessionsLock_);
    sessions_[handle] = std::move(session);
    return 0;
}

std::shared_ptr<SchannelSession> WinSocketSystem::sessionOf(Handle handle) {
    std::lock_guard lock(sessionsLock_);
    const auto found = sessions_.find(handle);
    return found == sessions_.end() ? nullptr : found->second;
}

long WinSocketSystem::write(Handle handle, const char* bytes, std::size_t count) {
    if (const auto session = sessionOf(handle)) {
        return session->write(bytes, count);
    }
    const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    const int written = ::send(static_cast<SOCKET>(handle), bytes, piece, 0);
    return written == SOCKET_ERROR ? -1 : written;
}

long WinSocketSystem::read(Handle handle, char* buffer, std::size_t count, int timeoutMs) {
    if (const auto session = sessionOf(handle)) {
        return session->read(buffer, count, timeoutMs);
    }
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
    {
        // No call can still use the handle (TcpSocket's rule), so its session goes with it,
        // before the number can be handed to another socket.
        std::lock_guard lock(sessionsLock_);
        sessions_.erase(handle);
    }
    closesocket(static_cast<SOCKET>(handle));
}

} // namespace vendrel::win

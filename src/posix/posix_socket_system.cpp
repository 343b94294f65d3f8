#include "posix_socket_system.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace vendrel {
namespace {

int mapError(int error) {
    switch (error) {
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    default:
        return error > 0 ? error : 1;
    }
}

} // namespace

int PosixSocketSystem::connect(const std::string& host, int port, Security security,
                               Handle& handle) {
    if (security == Security::Tls) {
        return kErrorTlsFailed;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return 11001; // host not found, as Winsock numbers it
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return mapError(errno);
    }
    handle = fd;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return mapError(errno);
    }
    return 0;
}

long PosixSocketSystem::write(Handle handle, const char* bytes, std::size_t count) {
    const ssize_t written = ::send(static_cast<int>(handle), bytes, count, MSG_NOSIGNAL);
    return written < 0 ? -1 : static_cast<long>(written);
}

long PosixSocketSystem::read(Handle handle, char* buffer, std::size_t count, int timeoutMs) {
    if (timeoutMs > 0) {
        pollfd wait{static_cast<int>(handle), POLLIN, 0};
        const int ready = ::poll(&wait, 1, timeoutMs);
        if (ready == 0) {
            return -2;
        }
        if (ready < 0) {
            return -1;
        }
    }
    const ssize_t got = ::recv(static_cast<int>(handle), buffer, count, 0);
    return got < 0 ? -1 : static_cast<long>(got);
}

void PosixSocketSystem::shutdown(Handle handle) {
    ::shutdown(static_cast<int>(handle), SHUT_RDWR);
}

void PosixSocketSystem::close(Handle handle) {
    ::close(static_cast<int>(handle));
}

} // namespace vendrel

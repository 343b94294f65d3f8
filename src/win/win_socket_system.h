#pragma once

#include "ports/socket_system.h"

namespace vendrel::win {

// Winsock 2; WSAStartup is the program's (start-up) or the caller's business.
class WinSocketSystem final : public SocketSystem {
public:
    int connect(const std::string& host, int port, Handle& handle) override;
    long write(Handle handle, const char* bytes, std::size_t count) override;
    long read(Handle handle, char* buffer, std::size_t count, int timeoutMs) override;
    void shutdown(Handle handle) override;
    void close(Handle handle) override;
};

} // namespace vendrel::win

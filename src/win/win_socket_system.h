#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "ports/socket_system.h"

namespace vendrel::win {

class SchannelSession;

// Winsock 2; WSAStartup is the program's (start-up) or the caller's business. A TLS connection
// is a socket with its SChannel session beside it, found by the handle in every call.
class WinSocketSystem final : public SocketSystem {
public:
    WinSocketSystem();
    ~WinSocketSystem() override;
    WinSocketSystem(const WinSocketSystem&) = delete;
    WinSocketSystem& operator=(const WinSocketSystem&) = delete;

    int connect(const std::string& host, int port, Security security, Handle& handle) override;
    long write(Handle handle, const char* bytes, std::size_t count) override;
    long read(Handle handle, char* buffer, std::size_t count, int timeoutMs) override;
    void shutdown(Handle handle) override;
    void close(Handle handle) override;

private:
    [[nodiscard]] std::shared_ptr<SchannelSession> sessionOf(Handle handle);

    std::mutex sessionsLock_; // guards the map only, never held while the socket blocks
    std::map<Handle, std::shared_ptr<SchannelSession>> sessions_;
};

} // namespace vendrel::win

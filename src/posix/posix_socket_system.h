#pragma once

#include "ports/socket_system.h"

namespace vendrel {

// BSD sockets. Error codes are mapped to the Winsock numbers the connection rules test
// (10060 timed out, 10061 refused); other failures give the errno value.
class PosixSocketSystem final : public SocketSystem {
public:
    int connect(const std::string& host, int port, Handle& handle) override;
    long write(Handle handle, const char* bytes, std::size_t count) override;
    long read(Handle handle, char* buffer, std::size_t count, int timeoutMs) override;
    void shutdown(Handle handle) override;
    void close(Handle handle) override;
};

} // namespace vendrel

#pragma once

#include "ports/socket_system.h"

namespace vendrel {

// BSD sockets. Error codes are mapped to the Winsock numbers the connection rules test
// (10060 timed out, 10061 refused); other failures give the errno value. No TLS: the native
// build serves tests and tools, and a TLS request fails rather than going out in clear.
class PosixSocketSystem final : public SocketSystem {
public:
    int connect(const std::string& host, int port, Security security, Handle& handle) override;
    long write(Handle handle, const char* bytes, std::size_t count) override;
    long read(Handle handle, char* buffer, std::size_t count, int timeoutMs) override;
    void shutdown(Handle handle) override;
    void close(Handle handle) override;
};

} // namespace vendrel

#pragma once
// The operating system's TCP calls, one thin adapter per platform (Winsock, BSD sockets). The
// rules built on them (locking, write loops, what closes a socket) live in TcpSocket. A TLS
// connection is the adapter's business too: it encrypts and decrypts inside write and read, so
// everything above sees the same bytes either way.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vendrel {

// Results of a TLS connect besides 0 and the system's error codes, outside the range of
// those (Winsock numbers them 10000 to 11999). Neither ever falls back to plain TCP.
// The server's certificate failed the system's checks: chain to a trusted root, dates, name.
inline constexpr int kErrorTlsCertificate = 20001;
// No TLS session could be agreed with the server, or this system offers no TLS.
inline constexpr int kErrorTlsFailed = 20002;

class SocketSystem {
public:
    using Handle = std::intptr_t;
    static constexpr Handle kNoSocket = -1;

    enum class Security { Plain, Tls };

    virtual ~SocketSystem() = default;

    // Any thread; all of these are thread-safe. IPv4 only. Resolves the host, creates the
    // socket (stored in handle at once, even when connecting then fails) and connects. 0 on
    // success, otherwise the system's error code (10060 timed out, 10061 refused). With Tls the
    // handshake follows, the host name goes out as the server name and the certificate is
    // checked against the system's trust store for that name; a failure there is
    // kErrorTlsCertificate or kErrorTlsFailed.
    [[nodiscard]] virtual int connect(const std::string& host, int port, Security security,
                                      Handle& handle) = 0;
    // Writes some of the bytes; the count written, or -1 on an error. A TLS connection takes
    // writes from one thread at a time (TcpSocket's lock), while a read may run beside them.
    [[nodiscard]] virtual long write(Handle handle, const char* bytes, std::size_t count) = 0;
    // Blocks until some bytes arrive: their count, 0 when the peer closed, -1 on an error.
    // With a timeout (milliseconds, 0 for none) -2 means nothing arrived in time.
    [[nodiscard]] virtual long read(Handle handle, char* buffer, std::size_t count,
                                    int timeoutMs) = 0;
    // Ends both directions: a read blocked on the handle in another thread returns, and later
    // reads find the end at once. The handle stays allocated until close.
    virtual void shutdown(Handle handle) = 0;
    // Frees the handle; its number may be handed out again at once, so only once no call in
    // any thread can still use it.
    virtual void close(Handle handle) = 0;
};

} // namespace vendrel

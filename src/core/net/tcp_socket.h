#pragma once
// A blocking IPv4 TCP client connection. Writing and closing are serialised by a re-entrant
// lock (a failed write closes the socket while holding it); each socket has one reading thread.
// A read holds the handle counted while it waits, so a close from another thread only shuts
// the socket down, which wakes the read, and the read frees the descriptor as it ends: its
// number is never handed to another file while a read can still use it.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "net/byte_stream.h"
#include "ports/socket_system.h"

namespace vendrel {

inline constexpr int kErrorTimedOut = 10060;
inline constexpr int kErrorRefused = 10061;

class TcpSocket final : public ByteStream {
public:
    explicit TcpSocket(SocketSystem& system) : system_(system) {}
    ~TcpSocket() override;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // 0, or the system's error code. A socket left from an earlier attempt is closed first.
    [[nodiscard]] int connect(const std::string& host, int port,
                              SocketSystem::Security security = SocketSystem::Security::Plain);
    // Any thread. Writes all the bytes under the lock; returns how many were written (fewer on
    // an error, which closes the socket), -1 when there is no socket.
    int send(std::string_view bytes);
    // The reading thread. count bytes exactly: count; 0 when the peer closed first; -1 when
    // there is no socket or count < 1.
    [[nodiscard]] int receiveExact(char* buffer, int count);
    // Any thread; safe at any time and more than once. Wakes a blocked read.
    void close();
    [[nodiscard]] bool isOpen() const { return handle_.load() != SocketSystem::kNoSocket; }

    // A read that gives up after this long without a byte (0: wait for ever).
    void setReadTimeout(int milliseconds) { readTimeoutMs_ = milliseconds; }
    [[nodiscard]] bool hasTimedOut() const { return hasTimedOut_; }
    // The last read ended on an error (a reset), not on the peer's orderly close.
    [[nodiscard]] bool hasReadFailed() const { return hasReadFailed_; }

    // ByteStream
    std::size_t read(std::span<char> buffer) override;
    std::size_t write(std::string_view bytes) override;

private:
    void endRead();

    SocketSystem& system_;
    std::atomic<SocketSystem::Handle> handle_{SocketSystem::kNoSocket};
    std::recursive_mutex lock_;
    // Apart from lock_, which a blocked write holds: a read must never wait for a write, or
    // two peers that both write before they read would stall each other. Guards the two
    // fields below and the closing of handle_; held only for moments.
    std::mutex readersLock_;
    // The reads in progress, and a handle closed while one of them still used it, which the
    // last of them frees.
    int readers_ = 0;
    SocketSystem::Handle closedUnderRead_ = SocketSystem::kNoSocket;
    int readTimeoutMs_ = 0;
    bool hasTimedOut_ = false;
    bool hasReadFailed_ = false;
};

} // namespace vendrel

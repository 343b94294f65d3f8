#pragma once
// The client's one link to the game server: the socket, the WebSocket over it, the login, and
// the flags every sending thread reads.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "net/tcp_socket.h"
#include "net/websocket_stream.h"

namespace vendrel {

class DebugLog;

// What the login sends besides the server's address and the player's name and password.
struct LoginIdentity {
    std::string language; // the language file's "isocode"
    std::uint64_t machineKey = 0;
    std::uint32_t systemVersion = 0;
    std::int32_t speechEngine = -1;
};

class Connection {
public:
    static constexpr int kRetry = -1;   // refused, timed out or handshake failed
    static constexpr int kRefused = -2; // the server said no; lastError() says why

    Connection(SocketSystem& sockets, DebugLog& log, std::size_t maxPayload = kDefaultMaxPayload);

    // Connection thread. 0 logged in, kRetry, kRefused, or the system's error code (a TLS
    // failure among them: never retried, never followed by a plain attempt).
    [[nodiscard]] int login(const std::string& host, int port, const std::string& name,
                            const std::string& password, const LoginIdentity& identity,
                            SocketSystem::Security security = SocketSystem::Security::Plain);
    // Connection thread. The next text message; false when the connection is over.
    [[nodiscard]] bool receiveMessage(std::string& message);
    // Any thread. One text frame, sent whole; false when it did not all go out.
    bool sendText(std::string_view text);
    // Any thread. The login attempt the connection is in, counted from 1 (0 before the first).
    // Work that answers later (a box, a move search) takes it when it starts and answers
    // through sendTextInSession, so that an answer meant for a connection that has dropped
    // never reaches the next one.
    [[nodiscard]] std::uint64_t session() const;
    // Any thread. Sends only while that same login is on; false when it is over or the text
    // did not all go out.
    bool sendTextInSession(std::uint64_t session, std::string_view text);
    // Any thread: ends the login and wakes the reader.
    void close();

    [[nodiscard]] std::string lastError() const;
    void setLastError(std::string text);

    // The connection thread keeps (re)connecting while active; cleared by quit and at exit.
    std::atomic<bool> active{true};
    // Every command and automatic answer goes out only while this is set.
    std::atomic<bool> loggedIn{false};

private:
    DebugLog& log_;
    TcpSocket socket_;
    WebSocketStream stream_;
    mutable std::mutex errorMutex_;
    std::string lastError_;
    // Held while a session's answer is checked and sent, and while a new login begins, so
    // that an answer is either sent before the next login starts or not at all.
    mutable std::mutex sessionMutex_;
    std::uint64_t session_ = 0;
};

} // namespace vendrel

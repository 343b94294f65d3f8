#include "net/connection.h"

#include "app/debug_log.h"
#include "net/handshake.h"
#include "net/login_record.h"
#include "net/query_encoding.h"
#include "text/format.h"

namespace vendrel {

Connection::Connection(SocketSystem& sockets, DebugLog& log, std::size_t maxPayload)
    : log_(log), socket_(sockets), stream_(socket_, maxPayload) {}

int Connection::login(const std::string& host, int port, const std::string& name,
                      const std::string& password, const LoginIdentity& identity,
                      SocketSystem::Security security) {
    const bool isTls = security == SocketSystem::Security::Tls;
    log_.line("Connecting to ",
              host + ":" + std::to_string(port) + (isTls ? " (TLS)" : "") + "...");
    {
        std::lock_guard lock(sessionMutex_);
        ++session_;
        loggedIn = false;
    }
    const int connected = socket_.connect(host, port, security);
    if (connected != 0) {
        log_.line("Connection error code: ", std::to_string(connected));
        socket_.close();
        return connected == kErrorTimedOut || connected == kErrorRefused ? kRetry : connected;
    }
    log_.line("Connection successful");
    log_.line("Login: ", name + ", language: " + identity.language);
    stream_.reset();
    const std::string record =
        buildLoginRecord({name, password, identity.language, identity.machineKey,
                          identity.systemVersion, identity.speechEngine});
    if (performHandshake(stream_, encodeQuery(record),
                         [this](std::string_view line) { log_.line(line); }) != 0) {
        socket_.close();
        return kRetry;
    }
    std::string answer;
    (void)stream_.receiveMessage(answer); // a lost connection leaves the answer empty
    if (answer == "ok") {
        log_.line("Login successful");
        setLastError({});
        loggedIn = true;
        return 0;
    }
    setLastError(answer.rfind("fail ", 0) == 0
                     ? answer.substr(5)
                     : formatText(1024, "Invalid message received: %s", answer));
    log_.line("Login failed: ", lastError());
    socket_.close();
    return kRefused;
}

bool Connection::receiveMessage(std::string& message) {
    return stream_.receiveMessage(message);
}

bool Connection::sendText(std::string_view text) {
    return stream_.sendText(text) == text.size();
}

std::uint64_t Connection::session() const {
    std::lock_guard lock(sessionMutex_);
    return session_;
}

bool Connection::sendTextInSession(std::uint64_t session, std::string_view text) {
    std::lock_guard lock(sessionMutex_);
    return session == session_ && loggedIn && sendText(text);
}

void Connection::close() {
    loggedIn = false;
    socket_.close();
    log_.line("Connection closed !");
}

std::string Connection::lastError() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

void Connection::setLastError(std::string text) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(text);
}

} // namespace vendrel

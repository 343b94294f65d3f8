#pragma once
// Scripted sockets: each connect takes the next planned connection, whose incoming bytes are
// handed out piece by piece and whose writes are recorded.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/websocket_frame.h"
#include "ports/socket_system.h"

namespace vendrel::testing {

struct PlannedConnection {
    int connectResult = 0;
    std::deque<std::string> incoming;       // pieces; then the peer closes
    long readError = 0;                     // non-zero: the read after the pieces returns this
    std::size_t failWritesAfter = SIZE_MAX; // bytes accepted before writes fail
};

class FakeSocketSystem final : public SocketSystem {
public:
    std::deque<PlannedConnection> plan; // nothing planned: the connection is refused
    std::vector<std::string> hosts;     // "host:port" of every connect, "tls:host:port" for TLS
    std::vector<std::string> written;   // all bytes written, per connection
    std::vector<Handle> shutDown;
    std::vector<Handle> closed;
    // Runs once inside the next read, as another thread would while that read waits.
    std::function<void()> duringRead;

    int connect(const std::string& host, int port, Security security, Handle& handle) override {
        std::lock_guard lock(mutex_);
        hosts.push_back((security == Security::Tls ? "tls:" : "") + host + ":" +
                        std::to_string(port));
        handle = static_cast<Handle>(connections_.size() + 100);
        // Past the plan, nobody listens.
        connections_.emplace_back().connectResult = 10061;
        if (!plan.empty()) {
            connections_.back() = plan.front();
            plan.pop_front();
        }
        written.emplace_back();
        return connections_.back().connectResult;
    }

    long write(Handle handle, const char* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_);
        std::string& out = written.at(index(handle));
        const std::size_t limit = connections_.at(index(handle)).failWritesAfter;
        if (count > 0 && out.size() >= limit) {
            return -1;
        }
        const std::size_t accepted = std::min(count, limit - out.size());
        out.append(bytes, accepted);
        return static_cast<long>(accepted);
    }

    long read(Handle handle, char* buffer, std::size_t count, int) override {
        if (duringRead) {
            std::exchange(duringRead, nullptr)();
        }
        std::lock_guard lock(mutex_);
        if (std::find(shutDown.begin(), shutDown.end(), handle) != shutDown.end()) {
            return 0;
        }
        PlannedConnection& connection = connections_.at(index(handle));
        auto& pieces = connection.incoming;
        while (!pieces.empty() && pieces.front().empty()) {
            pieces.pop_front();
        }
        if (pieces.empty()) {
            return connection.readError;
        }
        const std::size_t n = std::min(count, pieces.front().size());
        std::memcpy(buffer, pieces.front().data(), n);
        pieces.front().erase(0, n);
        return static_cast<long>(n);
    }

    void shutdown(Handle handle) override {
        std::lock_guard lock(mutex_);
        shutDown.push_back(handle);
    }

    void close(Handle handle) override {
        std::lock_guard lock(mutex_);
        closed.push_back(handle);
    }

    // The texts of the frames written on connection n, after the handshake request.
    std::vector<std::string> sentTexts(std::size_t n) const {
        std::string_view rest = written.at(n);
        const std::size_t head = rest.find("\r\n\r\n");
        rest.remove_prefix(head == std::string_view::npos ? 0 : head + 4);
        FrameDecoder decoder;
        std::vector<std::string> texts;
        std::string text;
        while (!rest.empty()) {
            const DecodeStep step = decoder.decode(rest, text);
            rest.remove_prefix(step.consumed);
            if (step.event != FrameEvent::Message) {
                break;
            }
            texts.push_back(text);
        }
        return texts;
    }

private:
    static std::size_t index(Handle handle) { return static_cast<std::size_t>(handle - 100); }

    std::mutex mutex_;
    std::vector<PlannedConnection> connections_;
};

// The upgrade answer a game server gives before its answer to the login.
inline std::string acceptedHandshake() {
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n";
}

inline std::string serverText(std::string_view text) {
    return encodeTextFrame(text);
}

} // namespace vendrel::testing

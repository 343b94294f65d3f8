#pragma once
// Scripted sockets: each connect takes the next planned connection, whose incoming bytes are
// handed out piece by piece and whose writes are recorded.

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/websocket_frame.h"
#include "ports/socket_system.h"

namespace vendrel::testing {

struct PlannedConnection {
    int connectResult = 0;
    std::vector<std::string> incoming; // pieces; then the peer closes
    long readError = 0;                // non-zero: the read after the pieces returns this
    long failWritesAfter = -1;         // bytes accepted before writes fail (-1: never)
};

class FakeSocketSystem final : public SocketSystem {
public:
    std::deque<PlannedConnection> plan;
    std::vector<std::string> hosts;   // "host:port" of every connect, "tls:host:port" for TLS
    std::vector<std::string> written; // all bytes written, per connection
    std::vector<Handle> shutDown;
    std::vector<Handle> closed;
    // Runs once inside the next read, as another thread would while that read waits.
    std::function<void()> duringRead;

    int connect(const std::string& host, int port, Security security, Handle& handle) override {
        std::lock_guard lock(mutex_);
        hosts.push_back((security == Security::Tls ? "tls:" : "") + host + ":" +
                        std::to_string(port));
        PlannedConnection next = plan.empty() ? PlannedConnection{kRefusedCode, {}} : plan.front();
        if (!plan.empty()) {
            plan.pop_front();
        }
        handle = static_cast<Handle>(connections_.size() + 100);
        connections_.push_back(State{next, 0, 0});
        written.emplace_back();
        return next.connectResult;
    }

    long write(Handle handle, const char* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_);
        State& state = at(handle);
        const long limit = state.planned.failWritesAfter;
        std::string& out = written[index(handle)];
        if (limit >= 0 && static_cast<long>(out.size()) >= limit) {
            return -1;
        }
        std::size_t accepted = count;
        if (limit >= 0) {
            accepted = std::min(count, static_cast<std::size_t>(limit) - out.size());
        }
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
        State& state = at(handle);
        auto& pieces = state.planned.incoming;
        while (state.piece < pieces.size() && state.offset == pieces[state.piece].size()) {
            ++state.piece;
            state.offset = 0;
        }
        if (state.piece == pieces.size()) {
            return state.planned.readError;
        }
        const std::string& piece = pieces[state.piece];
        const std::size_t n = std::min(count, piece.size() - state.offset);
        std::memcpy(buffer, piece.data() + state.offset, n);
        state.offset += n;
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

    // The text payloads of the unmasked frames written on connection n.
    std::vector<std::string> sentTexts(std::size_t n) const {
        std::vector<std::string> texts;
        FrameDecoderForTests decode(written.at(n));
        while (auto text = decode.next()) {
            texts.push_back(*text);
        }
        return texts;
    }

    static constexpr int kRefusedCode = 10061;

private:
    struct State {
        PlannedConnection planned;
        std::size_t piece = 0;
        std::size_t offset = 0;
    };

    // Reads the client's own frames back: FIN+text, unmasked, 7/16/64-bit lengths.
    struct FrameDecoderForTests {
        explicit FrameDecoderForTests(const std::string& bytes) : bytes_(bytes) {}
        std::optional<std::string> next() {
            // Skip whatever is not a frame (the handshake request).
            if (at_ == 0) {
                const std::size_t end = bytes_.find("\r\n\r\n");
                at_ = end == std::string::npos ? 0 : end + 4;
            }
            if (at_ + 2 > bytes_.size()) {
                return std::nullopt;
            }
            std::uint64_t length = static_cast<unsigned char>(bytes_[at_ + 1]) & 0x7F;
            std::size_t header = 2;
            if (length == 126 || length == 127) {
                const std::size_t size = length == 126 ? 2 : 8;
                length = 0;
                for (std::size_t i = 0; i < size; ++i) {
                    length = length << 8 | static_cast<unsigned char>(bytes_[at_ + 2 + i]);
                }
                header += size;
            }
            const std::string text = bytes_.substr(at_ + header, length);
            at_ += header + length;
            return text;
        }
        const std::string& bytes_;
        std::size_t at_ = 0;
    };

    std::size_t index(Handle handle) const { return static_cast<std::size_t>(handle - 100); }
    State& at(Handle handle) { return connections_.at(index(handle)); }

    std::mutex mutex_;
    std::vector<State> connections_;
};

// What a game server says to accept a login: the upgrade answer, then "ok".
inline std::string acceptedHandshake() {
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n";
}

inline std::string serverText(std::string_view text) {
    std::string frame;
    frame += static_cast<char>(0x81);
    if (text.size() < 126) {
        frame += static_cast<char>(text.size());
    } else {
        frame += static_cast<char>(126);
        frame += static_cast<char>(text.size() >> 8);
        frame += static_cast<char>(text.size() & 0xFF);
    }
    frame += text;
    return frame;
}

} // namespace vendrel::testing

#pragma once
// The seam between the WebSocket code and a real connection. Framing, the handshake and the
// line reader only ever see this interface, so they run unchanged over a Winsock socket, a
// POSIX socket or a scripted stream in the tests.

#include <cstddef>
#include <span>
#include <string_view>

namespace vendrel {

class ByteStream {
public:
    virtual ~ByteStream() = default;

    // The one reading thread only (the connection thread for the game socket). Blocks until
    // at least one byte has arrived and puts what it got at the start of buffer. Returns the
    // count, at most buffer.size(); 0 when the peer closed or the read failed. A 0 is final.
    [[nodiscard]] virtual std::size_t read(std::span<char> buffer) = 0;

    // Any thread. The bytes go out as one unit: no other write comes between them, which is
    // what keeps frames from different threads whole. Returns how many bytes were written;
    // fewer than bytes.size() when the connection failed or was closed meanwhile.
    virtual std::size_t write(std::string_view bytes) = 0;
};

} // namespace vendrel

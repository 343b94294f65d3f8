#pragma once
// The WebSocket over one connection: handshake lines, incoming messages with their automatic
// ping and close replies, and outgoing text frames. The reading side keeps one buffer for the
// handshake and the frames alike, so a frame that arrives in the same packet as the end of
// the handshake answer is not lost.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "net/byte_stream.h"
#include "net/websocket_frame.h"

namespace vendrel {

enum class LineRead { Line, Lost, TooLong };

class WebSocketStream {
public:
    explicit WebSocketStream(ByteStream& stream, std::size_t maxPayload = kDefaultMaxPayload);

    // Connection thread only. One handshake answer line, without its line feed and without
    // any carriage return.
    [[nodiscard]] LineRead readLine(std::string& line);

    // Connection thread only. True with the next text message; pings are answered on the
    // way. False when the connection is over (read failure, close frame, which is echoed,
    // or a frame the server may not send); message is then empty. Every false is final.
    [[nodiscard]] bool receiveMessage(std::string& message);
    // Why the last receiveMessage ended the connection; None after a read failure.
    [[nodiscard]] FrameError lastError() const { return decoder_.error(); }

    // Any thread. One text frame, written in one piece. Returns the payload bytes written.
    std::size_t sendText(std::string_view text);
    // Any thread. Bytes as they are (the handshake request).
    std::size_t sendRaw(std::string_view bytes) { return stream_.write(bytes); }

    // Connection thread only: a new connection on the same byte stream starts clean.
    void reset();

private:
    [[nodiscard]] bool fill();
    [[nodiscard]] std::string_view buffered() const {
        return {buffer_.data() + begin_, end_ - begin_};
    }

    ByteStream& stream_;
    FrameDecoder decoder_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace vendrel

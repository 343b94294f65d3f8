#pragma once
// WebSocket frames as the game server speaks them: every message is one final text frame,
// the client never masks, and the server may only send final text, ping and close frames.
// Both directions are pure functions over bytes; the socket side lives in websocket_stream.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrel {

inline constexpr unsigned char kFrameText = 0x81;  // FIN + text
inline constexpr unsigned char kFrameClose = 0x88; // FIN + close
inline constexpr unsigned char kFramePing = 0x89;  // FIN + ping
inline constexpr unsigned char kFramePong = 0x8A;  // FIN + pong

// What we accept in one message unless told otherwise. The server's largest texts (menus,
// history pages) stay far below it; anything bigger is a broken or hostile peer.
inline constexpr std::size_t kDefaultMaxPayload = std::size_t{16} * 1024 * 1024;
// Lengths from 2^31 on are refused whatever the configured maximum.
inline constexpr std::uint64_t kPayloadLengthLimit = std::uint64_t{1} << 31;
// Control frames (ping, close) never carry more, so their replies fit a fixed buffer.
inline constexpr std::size_t kMaxControlPayload = 125;

// The 2, 4 or 10 header bytes of an unmasked final text frame.
class FrameHeader {
public:
    explicit FrameHeader(std::uint64_t payloadLength);
    [[nodiscard]] std::string_view bytes() const { return {bytes_.data(), size_}; }

private:
    std::array<char, 10> bytes_{};
    std::size_t size_ = 0;
};

// Header and payload in one buffer, so that a frame leaves in a single write.
[[nodiscard]] std::string encodeTextFrame(std::string_view payload);

enum class FrameEvent {
    NeedMore, // every byte given was taken; the frame is not complete yet
    Message,  // a whole text message is in the caller's string
    Ping,     // reply() holds the pong to send; reading goes on
    Close,    // reply() holds the echo to send; the connection is over
    Failed,   // the server broke the rules; the connection is over (see error())
};

enum class FrameError {
    None,
    Masked,          // mask bit set on a server frame
    UnexpectedFrame, // binary, pong, continuation, a fragment or reserved bits
    ControlTooLong,  // ping or close with more than 125 bytes: its reply could not be framed
    TooLong,         // 2^31 bytes or more announced
    OverMaximum,     // more than the configured maximum announced
};

struct DecodeStep {
    FrameEvent event = FrameEvent::NeedMore;
    std::size_t consumed = 0; // bytes of the input that were used; the rest belongs to later
};

// Incremental reader of server frames. Bytes are handed over as they arrive, in pieces of any
// size; each call stops at the end of a frame, so a caller loops until NeedMore. A text
// payload is written straight into the caller's string (one copy, no other allocation); the
// announced length is checked before a single byte of it is reserved, and memory then grows
// only with bytes that really arrived. Close and Failed are final until reset().
class FrameDecoder {
public:
    explicit FrameDecoder(std::size_t maxPayload = kDefaultMaxPayload);

    [[nodiscard]] DecodeStep decode(std::string_view input, std::string& message);
    // After Ping: the pong (0x8A, the ping's length, its payload). After Close: the echo of
    // the close frame. Valid until the next call of decode.
    [[nodiscard]] std::string_view reply() const { return {reply_.data(), replySize_}; }
    [[nodiscard]] FrameError error() const { return error_; }
    // True after Close or Failed: nothing more is read from this connection.
    [[nodiscard]] bool hasEnded() const { return state_ == State::Ended; }
    [[nodiscard]] std::size_t maxPayload() const { return maxPayload_; }
    // Forget everything: a new connection starts.
    void reset();

private:
    enum class State { Header, Payload, Ended };

    [[nodiscard]] std::size_t takeHeader(std::string_view input);
    [[nodiscard]] bool beginFrame(std::string& message);
    [[nodiscard]] DecodeStep endFrame(std::size_t consumed);
    void fail(FrameError error);

    std::size_t maxPayload_;
    State state_ = State::Header;
    std::array<char, 10> header_{};
    std::size_t headerSize_ = 0;
    std::size_t headerNeeded_ = 2;
    std::uint64_t remaining_ = 0;
    unsigned char opcode_ = 0;
    std::array<char, 2 + kMaxControlPayload> reply_{};
    std::size_t replySize_ = 0;
    FrameEvent endEvent_ = FrameEvent::NeedMore;
    FrameError error_ = FrameError::None;
};

} // namespace vendrel

#pragma once
// The server's framing rules read literally, one frame after another: the reference the frame
// decoder and the WebSocket stream are compared with. Slow and plain on purpose.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/websocket_frame.h"

namespace vendrel::fuzzing {

using vendrel::FrameError;
using vendrel::FrameEvent;

struct Event {
    FrameEvent kind;
    std::string text; // the message, or the reply to send
    FrameError error = FrameError::None;
    bool operator==(const Event&) const = default;
};

// Reads frames until the bytes end, a close frame or a failure. A frame cut short at the end
// is not an event.
inline std::vector<Event> literalFrames(std::string_view bytes, std::size_t maxPayload) {
    std::vector<Event> events;
    std::size_t at = 0;
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(bytes[i]);
    };
    const auto failed = [&](FrameError error) {
        events.push_back({FrameEvent::Failed, "", error});
        return events;
    };
    while (at + 2 <= bytes.size()) {
        const unsigned char opcode = byte(at);
        if ((byte(at + 1) & 0x80) != 0) {
            return failed(FrameError::Masked);
        }
        std::size_t header = 2;
        std::uint64_t length = byte(at + 1);
        if (length >= 126) {
            header = length == 126 ? 4 : 10;
            if (at + header > bytes.size()) {
                break;
            }
            length = 0;
            for (std::size_t i = at + 2; i < at + header; ++i) {
                length = (length << 8) | byte(i);
            }
        }
        if (length >= (std::uint64_t{1} << 31)) {
            return failed(FrameError::TooLong);
        }
        const bool isText = opcode == 0x81;
        const bool isControl = opcode == 0x88 || opcode == 0x89;
        if (!isText && !isControl) {
            return failed(FrameError::UnexpectedFrame);
        }
        if (isText && length > maxPayload) {
            return failed(FrameError::OverMaximum);
        }
        if (isControl && length > 125) {
            return failed(FrameError::ControlTooLong);
        }
        if (at + header + length > bytes.size()) {
            break;
        }
        const std::string payload(bytes.substr(at + header, length));
        at += header + length;
        if (isText) {
            events.push_back({FrameEvent::Message, payload});
            continue;
        }
        const char reply = static_cast<char>(opcode == 0x89 ? 0x8A : 0x88);
        events.push_back({opcode == 0x89 ? FrameEvent::Ping : FrameEvent::Close,
                          std::string(1, reply) + static_cast<char>(length) + payload});
        if (opcode == 0x88) {
            return events;
        }
    }
    return events;
}

} // namespace vendrel::fuzzing

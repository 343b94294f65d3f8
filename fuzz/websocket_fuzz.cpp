// Any bytes as a server's answer (handshake lines, then frames) through the real handshake and
// WebSocket stream, against a literal reading of the rules.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_byte_stream.h"
#include "fuzz_failure.h"
#include "net/handshake.h"
#include "net/websocket_stream.h"

using namespace vendrel;
using vendrel::fuzzing::fail;

namespace {

struct Event {
    FrameEvent kind;
    std::string text; // the message, or the reply to send
    FrameError error = FrameError::None;
    bool operator==(const Event&) const = default;
};

// Where the frames start when the answer accepts: status 101 as strtol reads it, an empty line
// within the header limit, no line (its carriage returns left out) over the length limit.
std::optional<std::size_t> literalHandshake(std::string_view bytes) {
    std::size_t at = 0;
    for (std::size_t count = 0; count <= kMaxHandshakeHeaders; ++count) {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        std::string line;
        std::copy_if(bytes.begin() + at, bytes.begin() + end, std::back_inserter(line),
                     [](char c) { return c != '\r'; });
        at = end + 1;
        // The status line: a word, then the code; the C string ends at a NUL byte.
        const char* const kSpaces = " \t\n\v\f\r";
        const std::size_t code = line.find_first_of(kSpaces, line.find_first_not_of(kSpaces));
        if (line.size() > kMaxHandshakeLine ||
            (count == 0 &&
             std::strtol(line.c_str() + std::min(code, line.size()), nullptr, 10) != 101)) {
            return std::nullopt;
        }
        if (count > 0 && line.empty()) {
            return at;
        }
    }
    return std::nullopt;
}

// Final text, ping and close frames, never masked, the length in any of its three forms, until
// the bytes end, a close frame or a failure; a frame cut short is no event.
std::vector<Event> literalFrames(std::string_view bytes, std::size_t maxPayload) {
    std::vector<Event> events;
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(bytes[i]);
    };
    for (std::size_t at = 0; at + 2 <= bytes.size();) {
        const unsigned char opcode = byte(at);
        if (byte(at + 1) >= 128) {
            events.push_back({FrameEvent::Failed, "", FrameError::Masked});
            break;
        }
        const std::size_t header = byte(at + 1) < 126 ? 2 : byte(at + 1) == 126 ? 4 : 10;
        if (at + header > bytes.size()) {
            break;
        }
        std::uint64_t length = header == 2 ? byte(at + 1) : 0;
        for (std::size_t i = at + 2; i < at + header; ++i) {
            length = (length << 8) | byte(i);
        }
        const bool isText = opcode == 0x81;
        const bool isControl = opcode == 0x88 || opcode == 0x89;
        const FrameError error = length >= (std::uint64_t{1} << 31) ? FrameError::TooLong
                                 : !isText && !isControl            ? FrameError::UnexpectedFrame
                                 : isText && length > maxPayload    ? FrameError::OverMaximum
                                 : isControl && length > 125        ? FrameError::ControlTooLong
                                                                    : FrameError::None;
        if (error != FrameError::None) {
            events.push_back({FrameEvent::Failed, "", error});
            break;
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
        const std::string reply = {static_cast<char>(opcode == 0x89 ? 0x8A : 0x88),
                                   static_cast<char>(length)};
        events.push_back({opcode == 0x89 ? FrameEvent::Ping : FrameEvent::Close, reply + payload});
        if (opcode == 0x88) {
            break;
        }
    }
    return events;
}

// The real stream over the answer in pieces of random sizes (the socket decides where a read
// ends): after the handshake, the messages a literal reading finds, each ping and the close
// answered, and every end final.
void checkStream(const std::string& answer, std::size_t frameStart, std::size_t maxPayload,
                 std::minstd_rand& pieceSizes) {
    testing::FakeByteStream stream;
    for (std::size_t at = 0; at < answer.size(); at += stream.incoming.back().size()) {
        stream.incoming.push_back(
            answer.substr(at, 1 + pieceSizes() % (pieceSizes() % 4 ? 8 : 300)));
    }
    WebSocketStream socket(stream, maxPayload);
    if (performHandshake(socket, "a=b", [](std::string_view) {}) != 0) {
        fail("the handshake refuses an answer that accepts");
    }
    // The handshake request was the first write; each ping and the close get one more.
    std::vector<std::string> messages;
    std::vector<std::string> replies = {stream.writes.at(0)};
    FrameError error = FrameError::None;
    for (const Event& event : literalFrames(answer.substr(frameStart), maxPayload)) {
        if (event.kind == FrameEvent::Failed) {
            error = event.error;
        } else {
            (event.kind == FrameEvent::Message ? messages : replies).push_back(event.text);
        }
    }
    std::string message;
    std::vector<std::string> received;
    while (socket.receiveMessage(message)) {
        received.push_back(message);
    }
    if (received != messages || !message.empty() || socket.receiveMessage(message) ||
        socket.lastError() != error || stream.writes != replies) {
        fail("the stream delivers, answers or ends otherwise than the frames");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t maxPayloads[] = {kDefaultMaxPayload, 0, 1, 64, 125, 126, 65535, 65536};
    const std::size_t maxPayload = input.PickValueInArray(maxPayloads);
    std::minstd_rand pieceSizes(input.ConsumeIntegral<std::uint32_t>());
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    // A refused answer is refused by the real handshake too; its bytes are then read as frames
    // after an answer that accepts.
    const std::optional<std::size_t> frameStart = literalHandshake(bytes);
    if (frameStart) {
        checkStream(bytes, *frameStart, maxPayload, pieceSizes);
        return 0;
    }
    testing::FakeByteStream refusing({bytes});
    WebSocketStream socket(refusing, maxPayload);
    if (performHandshake(socket, "a=b", [](std::string_view) {}) != -1) {
        fail("the handshake accepts an answer that refuses");
    }
    const std::string accepted = "HTTP/1.1 101 Switching Protocols\r\n\r\n";
    checkStream(accepted + bytes, accepted.size(), maxPayload, pieceSizes);
    return 0;
}

// Any bytes as a server's answer to the connection (handshake lines, then frames), compared
// with a literal reading of the rules: status 101 as strtol reads it, an empty line within the
// header limit, no line over the length limit; then final text, ping and close frames, never
// masked, the length in any of its three forms. The frame decoder, fed the frames whole and in
// pieces of random sizes, and the real stream after the real handshake must see the same
// messages, pings, close and failure; the decoder never takes more than it was given.

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

// Where the frames start when the answer accepts the connection. Carriage returns anywhere in
// a line do not count.
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

// Frames until the bytes end, a close frame or a failure; a frame cut short is no event.
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

// Hands the pieces over as a connection would, looping on each until the decoder needs more.
std::vector<Event> decode(const std::vector<std::string>& pieces, std::size_t maxPayload) {
    FrameDecoder decoder(maxPayload);
    std::vector<Event> events;
    std::string message;
    for (std::string_view rest : pieces) {
        for (;;) {
            const DecodeStep step = decoder.decode(rest, message);
            if (step.consumed > rest.size() ||
                (step.event == FrameEvent::NeedMore && step.consumed != rest.size())) {
                fail("the decoder took more bytes than given, or left some and needs more");
            }
            rest.remove_prefix(step.consumed);
            if (step.event == FrameEvent::NeedMore) {
                break;
            }
            events.push_back(
                {step.event,
                 step.event == FrameEvent::Message ? message : std::string(decoder.reply()),
                 decoder.error()});
            if (step.event == FrameEvent::Close || step.event == FrameEvent::Failed) {
                if (!decoder.hasEnded() || decoder.decode("\x81", message).consumed != 0) {
                    fail("the decoder reads on after the end");
                }
                return events;
            }
        }
    }
    return events;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t maxPayloads[] = {kDefaultMaxPayload, 0, 1, 64, 125, 126, 65535, 65536};
    const std::size_t maxPayload = input.PickValueInArray(maxPayloads);
    std::minstd_rand pieceSizes(input.ConsumeIntegral<std::uint32_t>());
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const auto split = [&](std::string_view all) {
        std::vector<std::string> pieces;
        for (std::size_t at = 0; at < all.size(); at += pieces.back().size()) {
            pieces.emplace_back(all.substr(at, 1 + pieceSizes() % (pieceSizes() % 4 ? 8 : 300)));
        }
        return pieces;
    };

    const std::optional<std::size_t> frameStart = literalHandshake(bytes);
    const std::string frames = bytes.substr(frameStart.value_or(0));
    const std::vector<Event> expected = literalFrames(frames, maxPayload);
    if (decode({frames}, maxPayload) != expected || decode(split(frames), maxPayload) != expected) {
        fail("the decoder differs from the framing rules, whole or in pieces");
    }

    testing::FakeByteStream stream(split(bytes));
    WebSocketStream socket(stream, maxPayload);
    if (performHandshake(socket, "a=b", [](std::string_view) {}) != (frameStart ? 0 : -1)) {
        fail("the handshake differs from a literal reading of the answer");
    }
    if (!frameStart) {
        return 0;
    }
    // The handshake request was the first write; each ping and the close get one more.
    std::vector<std::string> messages;
    std::vector<std::string> replies = {stream.writes.at(0)};
    FrameError error = FrameError::None;
    for (const Event& event : expected) {
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
    return 0;
}

// Any bytes as a server's whole answer to the connection: the handshake's status line and
// headers, then frames, arriving in pieces of random sizes, through the real WebSocket stream.
// The handshake must succeed exactly when a literal reading of the answer says so (status 101
// read as strtol reads it, an empty line within the header limit, no line over the length
// limit); after it, the stream must deliver the messages a literal reading of the frames
// finds, answer each ping with its pong and echo a close, and report every end as final.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_byte_stream.h"
#include "fuzz_failure.h"
#include "literal_frames.h"
#include "net/handshake.h"
#include "net/websocket_stream.h"

using vendrel::fuzzing::fail;

namespace {

using vendrel::FrameEvent;
using vendrel::fuzzing::Event;

struct LiteralHandshake {
    bool isAccepted = false;
    std::size_t frameStart = 0; // where the frames begin when accepted
};

// Lines end with a line feed; carriage returns anywhere in them do not count.
LiteralHandshake literalHandshake(std::string_view bytes) {
    std::size_t at = 0;
    const auto nextLine = [&](std::string& line) {
        line.clear();
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) {
            return false;
        }
        for (const char c : bytes.substr(at, end - at)) {
            if (c != '\r') {
                line.push_back(c);
            }
        }
        at = end + 1;
        return line.size() <= vendrel::kMaxHandshakeLine;
    };
    std::string line;
    if (!nextLine(line)) {
        return {};
    }
    // A word, then the code as strtol reads it; the C string ends at a NUL byte.
    std::size_t i = 0;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) {
        ++i;
    }
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
        ++i;
    }
    const long code = std::strtol(line.c_str() + i, nullptr, 10);
    if (code != 101) {
        return {};
    }
    for (std::size_t count = 0; count < vendrel::kMaxHandshakeHeaders; ++count) {
        if (!nextLine(line)) {
            return {};
        }
        if (line.empty()) {
            return {true, at};
        }
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t maxPayload = input.ConsumeBool() ? vendrel::kDefaultMaxPayload : 64;
    std::minstd_rand pieceSizes(input.ConsumeIntegral<std::uint32_t>());
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    vendrel::testing::FakeByteStream stream;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = 1 + pieceSizes() % (pieceSizes() % 4 == 0 ? 400 : 12);
        stream.incoming.push_back(bytes.substr(at, length));
        at += stream.incoming.back().size();
    }
    vendrel::WebSocketStream socket(stream, maxPayload);
    const int result = vendrel::performHandshake(socket, "a=b", [](std::string_view) {});
    const LiteralHandshake expected = literalHandshake(bytes);
    if ((result == 0) != expected.isAccepted || (result != 0 && result != -1)) {
        fail("the handshake differs from a literal reading of the answer");
    }
    if (!expected.isAccepted) {
        return 0;
    }

    const auto frames = vendrel::fuzzing::literalFrames(
        std::string_view(bytes).substr(expected.frameStart), maxPayload);
    std::vector<std::string> replies;
    std::string message;
    std::size_t next = 0;
    for (; socket.receiveMessage(message); ++next) {
        while (next < frames.size() && frames[next].kind == FrameEvent::Ping) {
            replies.push_back(frames[next++].text);
        }
        if (next >= frames.size() || frames[next].kind != FrameEvent::Message ||
            frames[next].text != message) {
            fail("the stream delivers another message");
        }
    }
    while (next < frames.size() && frames[next].kind == FrameEvent::Ping) {
        replies.push_back(frames[next++].text);
    }
    if (next < frames.size() && frames[next].kind == FrameEvent::Close) {
        replies.push_back(frames[next++].text);
    }
    const bool isFailure = next < frames.size() && frames[next].kind == FrameEvent::Failed;
    if (next + (isFailure ? 1 : 0) != frames.size() || !message.empty() ||
        socket.receiveMessage(message) || (isFailure && socket.lastError() != frames[next].error)) {
        fail("the stream ends elsewhere than the frames");
    }
    // The handshake request went first; then one write per reply.
    if (stream.writes.size() != replies.size() + 1 ||
        !std::equal(replies.begin(), replies.end(), stream.writes.begin() + 1)) {
        fail("pings and the close are answered otherwise");
    }
    return 0;
}

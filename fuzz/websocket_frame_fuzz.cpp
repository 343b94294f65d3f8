// Any bytes as the frames a server sends, fed to the frame decoder whole and again in pieces
// of random sizes (the socket decides where a read ends), and read a third time by a literal
// reader of the framing rules: a final text, ping or close frame, never masked, its length in
// the shortest or any longer of the three forms. All three must see the same messages,
// pings, close and failure, in the same order; the decoder must never take more bytes than
// it was given, nor keep reading after the end.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_failure.h"
#include "literal_frames.h"
#include "net/websocket_frame.h"

using vendrel::fuzzing::fail;

namespace {

using vendrel::FrameEvent;
using vendrel::fuzzing::Event;

// Hands the pieces over as a connection would, looping on each until the decoder needs more.
std::vector<Event> decode(const std::vector<std::string_view>& pieces, std::size_t maxPayload) {
    vendrel::FrameDecoder decoder(maxPayload);
    std::vector<Event> events;
    std::string message;
    for (const std::string_view piece : pieces) {
        std::string_view rest = piece;
        for (;;) {
            const vendrel::DecodeStep step = decoder.decode(rest, message);
            if (step.consumed > rest.size()) {
                fail("the decoder took more bytes than it was given");
            }
            rest.remove_prefix(step.consumed);
            if (step.event == FrameEvent::NeedMore) {
                if (!rest.empty()) {
                    fail("the decoder needs more but left bytes");
                }
                break;
            }
            if (step.event == FrameEvent::Message) {
                events.push_back({step.event, message});
                continue;
            }
            events.push_back({step.event, std::string(decoder.reply()), decoder.error()});
            if (step.event != FrameEvent::Ping) {
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
    const std::size_t maxPayloads[] = {vendrel::kDefaultMaxPayload, 0, 1, 125, 126, 65535, 65536};
    const std::size_t maxPayload = input.PickValueInArray(maxPayloads);
    std::minstd_rand pieceSizes(input.ConsumeIntegral<std::uint32_t>());
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = 1 + pieceSizes() % (pieceSizes() % 4 == 0 ? 300 : 8);
        pieces.push_back(std::string_view(bytes).substr(at, length));
        at += pieces.back().size();
    }
    const std::vector<Event> expected = vendrel::fuzzing::literalFrames(bytes, maxPayload);
    if (decode({bytes}, maxPayload) != expected) {
        fail("the decoder differs from the framing rules");
    }
    if (decode(pieces, maxPayload) != expected) {
        fail("the decoder differs when the bytes come in pieces");
    }
    return 0;
}

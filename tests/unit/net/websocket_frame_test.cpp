#include "net/websocket_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "net/frame_bytes.h"

namespace vendrel {
namespace {

using testing::bytes;

TEST(WebSocketFrame, HeaderFormFollowsThePayloadLength) {
    const std::pair<std::uint64_t, std::string> cases[] = {
        {125, bytes({0x81, 125})},
        {126, bytes({0x81, 126, 0x00, 126})},
        {65535, bytes({0x81, 126, 0xFF, 0xFF})},
        {65536, bytes({0x81, 127, 0, 0, 0, 0, 0, 0x01, 0x00, 0x00})},
        {0x1'0000'0001, bytes({0x81, 127, 0, 0, 0, 0x01, 0, 0, 0, 0x01})},
    };
    for (const auto& [length, header] : cases) {
        EXPECT_EQ(FrameHeader(length).bytes(), header) << length;
    }
    EXPECT_EQ(encodeTextFrame("hi"), bytes({0x81, 2}) + "hi");
}

struct Outcome {
    FrameEvent event;
    std::string bytes; // the message, or the reply to send
    bool operator==(const Outcome&) const = default;
};

// Feeds input in pieces of the given size and collects what the decoder reports, up to the
// end of the connection.
std::vector<Outcome> decodeAll(FrameDecoder& decoder, std::string_view input, std::size_t piece) {
    std::vector<Outcome> outcomes;
    std::string message;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        std::string_view chunk = input.substr(at, piece);
        while (!chunk.empty()) {
            const DecodeStep step = decoder.decode(chunk, message);
            chunk.remove_prefix(step.consumed);
            if (step.event == FrameEvent::NeedMore) {
                EXPECT_TRUE(chunk.empty()) << "NeedMore must take every byte";
                continue;
            }
            const bool isMessage = step.event == FrameEvent::Message;
            outcomes.push_back({step.event, isMessage ? message : std::string(decoder.reply())});
            if (step.event == FrameEvent::Close || step.event == FrameEvent::Failed) {
                return outcomes;
            }
        }
    }
    return outcomes;
}

TEST(WebSocketFrame, DecodesWhatTheServerMaySendAndRefusesTheRest) {
    const std::string big70k(70000, 'c');
    struct Case {
        const char* name;
        std::string input;
        std::vector<Outcome> expected;
        FrameError error = FrameError::None;
        std::size_t maxPayload = kDefaultMaxPayload;
    };
    using E = FrameEvent;
    const Case cases[] = {
        // The second, shorter message must not keep the tail of the first.
        {"two texts",
         bytes({0x81, 5}) + "hello" + bytes({0x81, 0}),
         {{E::Message, "hello"}, {E::Message, ""}}},
        {"16-bit length", bytes({0x81, 126, 0, 3}) + "abc", {{E::Message, "abc"}}},
        {"64-bit length",
         bytes({0x81, 127, 0, 0, 0, 0, 0, 0x01, 0x11, 0x70}) + big70k,
         {{E::Message, big70k}}},
        {"ping answered, then text",
         bytes({0x89, 1}) + "x" + bytes({0x81, 2}) + "ok",
         {{E::Ping, bytes({0x8A, 1}) + "x"}, {E::Message, "ok"}}},
        {"close echoed",
         bytes({0x88, 5, 0x03, 0xE8}) + "bye",
         {{E::Close, bytes({0x88, 5, 0x03, 0xE8}) + "bye"}}},
        {"masked",
         bytes({0x81, 0x85, 1, 2, 3, 4}) + "hello",
         {{E::Failed, ""}},
         FrameError::Masked},
        {"binary", bytes({0x82, 1}) + "a", {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"fragment", bytes({0x01, 1}) + "a", {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"long ping",
         bytes({0x89, 126, 0, 126}) + std::string(126, 'p'),
         {{E::Failed, ""}},
         FrameError::ControlTooLong},
        {"2^31",
         bytes({0x81, 127, 0, 0, 0, 0, 0x80, 0, 0, 0}),
         {{E::Failed, ""}},
         FrameError::TooLong,
         std::size_t{1} << 40},
        // Reading only the low half would take 5 here and read "hello" as a message.
        {"high half set",
         bytes({0x81, 127, 0, 0, 0, 1, 0, 0, 0, 5}) + "hello",
         {{E::Failed, ""}},
         FrameError::TooLong},
        {"at the maximum", bytes({0x81, 4}) + "four", {{E::Message, "four"}}, FrameError::None, 4},
        {"over the maximum",
         bytes({0x81, 5}) + "five!",
         {{E::Failed, ""}},
         FrameError::OverMaximum,
         4},
        {"over the default maximum",
         bytes({0x81, 127, 0, 0, 0, 0, 0x01, 0, 0, 0x01}),
         {{E::Failed, ""}},
         FrameError::OverMaximum},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {c.input.size(), std::size_t{1}, std::size_t{3}}) {
            FrameDecoder decoder(c.maxPayload);
            EXPECT_EQ(decodeAll(decoder, c.input, piece), c.expected)
                << c.name << ", pieces of " << piece;
            EXPECT_EQ(decoder.error(), c.error) << c.name << ", pieces of " << piece;
        }
    }
}

TEST(WebSocketFrame, AnnouncedLengthsCostNothingBeforeTheBytesArrive) {
    // A generous maximum, and one above the hard limit, which is held to 2^31 - 1: only the
    // bytes received take memory.
    const std::pair<std::size_t, std::string> cases[] = {
        {std::size_t{1} << 30, bytes({0x81, 127, 0, 0, 0, 0, 0x20, 0, 0, 0})},
        {std::size_t{1} << 40, bytes({0x81, 127, 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF})},
    };
    for (const auto& [maxPayload, header] : cases) {
        FrameDecoder decoder(maxPayload);
        EXPECT_LT(decoder.maxPayload(), kPayloadLengthLimit) << maxPayload;
        std::string message;
        const DecodeStep step = decoder.decode(header + "abc", message);
        EXPECT_EQ(step.event, FrameEvent::NeedMore) << maxPayload;
        EXPECT_EQ(message, "abc") << maxPayload;
        EXPECT_LT(message.capacity(), std::size_t{1} << 20) << maxPayload;
    }
}

} // namespace
} // namespace vendrel

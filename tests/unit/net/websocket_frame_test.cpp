#include "net/websocket_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "net/frame_bytes.h"

namespace vendrel {
namespace {

using testing::bytes;

TEST(WebSocketFrame, HeaderFormFollowsThePayloadLength) {
    struct Case {
        std::uint64_t length;
        std::string header;
    };
    const Case cases[] = {
        {0, bytes({0x81, 0x00})},
        {125, bytes({0x81, 125})},
        {126, bytes({0x81, 126, 0x00, 126})},
        {65535, bytes({0x81, 126, 0xFF, 0xFF})},
        {65536, bytes({0x81, 127, 0, 0, 0, 0, 0, 0x01, 0x00, 0x00})},
        {0x1'0000'0001, bytes({0x81, 127, 0, 0, 0, 0x01, 0, 0, 0, 0x01})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrameHeader(c.length).bytes(), c.header) << c.length;
        if (c.length <= 65536) {
            // The payload follows the header unmasked, byte for byte.
            std::string payload(static_cast<std::size_t>(c.length), 'm');
            if (!payload.empty()) {
                payload.back() = 'z';
            }
            EXPECT_EQ(encodeTextFrame(payload), c.header + payload) << c.length;
        }
    }
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
    for (std::size_t at = 0; at < input.size();) {
        std::string_view chunk = input.substr(at, std::min(piece, input.size() - at));
        while (!chunk.empty()) {
            const DecodeStep step = decoder.decode(chunk, message);
            chunk.remove_prefix(step.consumed);
            switch (step.event) {
            case FrameEvent::NeedMore:
                EXPECT_TRUE(chunk.empty()) << "NeedMore must take every byte";
                break;
            case FrameEvent::Message:
                outcomes.push_back({step.event, message});
                break;
            case FrameEvent::Ping:
                outcomes.push_back({step.event, std::string(decoder.reply())});
                break;
            case FrameEvent::Close:
            case FrameEvent::Failed:
                outcomes.push_back({step.event, std::string(decoder.reply())});
                return outcomes;
            }
        }
        at += std::min(piece, input.size() - at);
    }
    return outcomes;
}

TEST(WebSocketFrame, DecodesWhatTheServerMaySendAndRefusesTheRest) {
    const std::string big200(200, 'b');
    const std::string big70k(70000, 'c');
    const std::string control126(126, 'p');
    struct Case {
        const char* name;
        std::string input;
        std::vector<Outcome> expected;
        FrameError error = FrameError::None;
        std::size_t maxPayload = kDefaultMaxPayload;
    };
    using E = FrameEvent;
    const Case cases[] = {
        {"text", bytes({0x81, 5}) + "hello", {{E::Message, "hello"}}},
        {"empty text", bytes({0x81, 0}), {{E::Message, ""}}},
        // The second, shorter message must not keep the tail of the first.
        {"two texts",
         bytes({0x81, 5}) + "hello" + bytes({0x81, 2}) + "hi",
         {{E::Message, "hello"}, {E::Message, "hi"}}},
        {"16-bit length", bytes({0x81, 126, 0, 200}) + big200, {{E::Message, big200}}},
        {"64-bit length",
         bytes({0x81, 127, 0, 0, 0, 0, 0, 0x01, 0x11, 0x70}) + big70k,
         {{E::Message, big70k}}},
        {"ping answered, then text",
         bytes({0x89, 1}) + "x" + bytes({0x81, 2}) + "ok",
         {{E::Ping, bytes({0x8A, 1}) + "x"}, {E::Message, "ok"}}},
        {"empty ping", bytes({0x89, 0}), {{E::Ping, bytes({0x8A, 0})}}},
        {"close echoed",
         bytes({0x88, 5, 0x03, 0xE8}) + "bye" + bytes({0x81, 1}) + "z",
         {{E::Close, bytes({0x88, 5, 0x03, 0xE8}) + "bye"}}},
        {"empty close", bytes({0x88, 0}), {{E::Close, bytes({0x88, 0})}}},
        {"masked",
         bytes({0x81, 0x85, 1, 2, 3, 4}) + "hello",
         {{E::Failed, ""}},
         FrameError::Masked},
        {"binary", bytes({0x82, 1}) + "a", {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"fragment", bytes({0x01, 1}) + "a", {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"continuation", bytes({0x80, 1}) + "a", {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"pong", bytes({0x8A, 0}), {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"reserved bit", bytes({0xC1, 1}) + "a", {{E::Failed, ""}}, FrameError::UnexpectedFrame},
        {"text before a refused frame",
         bytes({0x81, 1}) + "a" + bytes({0x82, 0}),
         {{E::Message, "a"}, {E::Failed, ""}},
         FrameError::UnexpectedFrame},
        {"long ping",
         bytes({0x89, 126, 0, 126}) + control126,
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
        for (const std::size_t piece :
             {c.input.size(), std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}}) {
            FrameDecoder decoder(c.maxPayload);
            EXPECT_EQ(decodeAll(decoder, c.input, piece), c.expected)
                << c.name << ", pieces of " << piece;
            EXPECT_EQ(decoder.error(), c.error) << c.name << ", pieces of " << piece;
        }
    }
}

TEST(WebSocketFrame, EndOfConnectionIsFinalUntilReset) {
    FrameDecoder decoder;
    std::string message;
    const std::string close = bytes({0x88, 0});
    EXPECT_EQ(decoder.decode(close, message).event, FrameEvent::Close);
    EXPECT_TRUE(decoder.hasEnded());
    const std::string text = bytes({0x81, 1}) + "a";
    const DecodeStep after = decoder.decode(text, message);
    EXPECT_EQ(after.event, FrameEvent::Close);
    EXPECT_EQ(after.consumed, 0u);

    decoder.reset();
    EXPECT_FALSE(decoder.hasEnded());
    const DecodeStep fresh = decoder.decode(text, message);
    EXPECT_EQ(fresh.event, FrameEvent::Message);
    EXPECT_EQ(message, "a");
}

TEST(WebSocketFrame, AnnouncedLengthsCostNothingBeforeTheBytesArrive) {
    struct Case {
        const char* name;
        std::size_t maxPayload;
        std::string header;
        FrameEvent event;
    };
    const Case cases[] = {
        // Refused from the header alone, with the default maximum.
        {"just under 2^31", kDefaultMaxPayload,
         bytes({0x81, 127, 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF}), FrameEvent::Failed},
        // Allowed by a generous maximum, yet only the bytes received take memory.
        {"512 MiB allowed", std::size_t{1} << 30, bytes({0x81, 127, 0, 0, 0, 0, 0x20, 0, 0, 0}),
         FrameEvent::NeedMore},
        // A maximum above the hard limit is held to 2^31 - 1.
        {"2^31 - 1 allowed", std::size_t{1} << 40,
         bytes({0x81, 127, 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF}), FrameEvent::NeedMore},
    };
    for (const auto& c : cases) {
        FrameDecoder decoder(c.maxPayload);
        EXPECT_LT(decoder.maxPayload(), kPayloadLengthLimit) << c.name;
        std::string message;
        const std::string input = c.header + "abc";
        const DecodeStep step = decoder.decode(input, message);
        EXPECT_EQ(step.event, c.event) << c.name;
        EXPECT_LT(message.capacity(), std::size_t{1} << 20) << c.name;
        if (c.event == FrameEvent::NeedMore) {
            EXPECT_EQ(step.consumed, input.size()) << c.name;
            EXPECT_EQ(message, "abc") << c.name;
        }
    }
}

} // namespace
} // namespace vendrel

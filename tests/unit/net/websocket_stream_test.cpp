#include "net/websocket_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fakes/fake_byte_stream.h"
#include "net/frame_bytes.h"

namespace vendrel {
namespace {

using testing::bytes;
using testing::FakeByteStream;

TEST(WebSocketStream, ReceivesMessagesAndAnswersOnTheWay) {
    const std::string big(70000, 'q');
    struct Case {
        const char* name;
        std::vector<std::string> server;
        std::vector<std::string> messages; // returned before the connection ends
        std::vector<std::string> writes;
        FrameError error = FrameError::None;
        bool endedByFrame = false; // a close or a refused frame, rather than a lost connection
    };
    const Case cases[] = {
        {"text split across packets",
         {bytes({0x81}), bytes({5}) + "he", "llo" + bytes({0x81, 0})},
         {"hello", ""},
         {}},
        {"ping answered and not returned",
         {bytes({0x89, 1}) + "x" + bytes({0x81, 2}) + "hi"},
         {"hi"},
         {bytes({0x8A, 1}) + "x"}},
        {"empty ping", {bytes({0x89, 0}), bytes({0x81, 1}) + "a"}, {"a"}, {bytes({0x8A, 0})}},
        {"close echoed",
         {bytes({0x81, 1}) + "a" + bytes({0x88, 2, 0x03, 0xE8}) + bytes({0x81, 1}) + "b"},
         {"a"},
         {bytes({0x88, 2, 0x03, 0xE8})},
         FrameError::None,
         true},
        {"masked", {bytes({0x81, 0x85, 1, 2, 3, 4}) + "abcde"}, {}, {}, FrameError::Masked, true},
        {"binary", {bytes({0x82, 1}) + "a"}, {}, {}, FrameError::UnexpectedFrame, true},
        {"larger than one read",
         {bytes({0x81, 127, 0, 0, 0, 0, 0, 1, 0x11, 0x70}) + big},
         {big},
         {}},
        {"peer closed mid-frame", {bytes({0x81, 5}) + "hel"}, {}, {}},
    };
    for (const auto& c : cases) {
        for (const std::size_t maxRead : {std::size_t{1}, std::size_t{1} << 20}) {
            FakeByteStream socket(c.server);
            socket.maxRead = maxRead;
            WebSocketStream stream(socket);
            std::vector<std::string> messages;
            std::string message = "stale";
            while (stream.receiveMessage(message)) {
                messages.push_back(message);
            }
            EXPECT_EQ(messages, c.messages) << c.name;
            EXPECT_TRUE(message.empty()) << c.name << ": an ended connection leaves no text";
            EXPECT_EQ(socket.writes, c.writes) << c.name;
            EXPECT_EQ(stream.lastError(), c.error) << c.name;

            // The end is final: no further read, no second echo.
            const std::size_t reads = socket.reads;
            EXPECT_FALSE(stream.receiveMessage(message)) << c.name;
            if (c.endedByFrame) {
                EXPECT_EQ(socket.reads, reads) << c.name;
            }
            EXPECT_EQ(socket.writes, c.writes) << c.name;
        }
    }
}

TEST(WebSocketStream, ReadLineDropsCarriageReturnsAndKeepsTheRest) {
    FakeByteStream socket({"HTTP/1.1 1", "01 OK\r", "\n\r\nX"});
    socket.maxRead = 3;
    WebSocketStream stream(socket);
    std::string line;
    ASSERT_EQ(stream.readLine(line), LineRead::Line);
    EXPECT_EQ(line, "HTTP/1.1 101 OK");
    ASSERT_EQ(stream.readLine(line), LineRead::Line);
    EXPECT_EQ(line, "");
    EXPECT_EQ(stream.readLine(line), LineRead::Lost);
}

TEST(WebSocketStream, SendsOneWholeFramePerText) {
    struct Case {
        std::string text;
        std::size_t writeLimit;
        std::string written;
        std::size_t result;
    };
    const Case cases[] = {
        {"", SIZE_MAX, bytes({0x81, 0}), 0},
        {"msel 1", SIZE_MAX, bytes({0x81, 6}) + "msel 1", 6},
        {std::string(126, 'k'), SIZE_MAX, bytes({0x81, 126, 0, 126}) + std::string(126, 'k'), 126},
        // A write cut short reports only the payload bytes that went out.
        {"abcdef", 4, bytes({0x81, 6}) + "ab", 2},
        {"abcdef", 1, bytes({0x81}), 0},
    };
    for (const auto& c : cases) {
        FakeByteStream socket;
        socket.writeLimit = c.writeLimit;
        WebSocketStream stream(socket);
        EXPECT_EQ(stream.sendText(c.text), c.result) << c.text;
        ASSERT_EQ(socket.writes.size(), 1u) << c.text;
        EXPECT_EQ(socket.writes[0], c.written) << c.text;
    }
}

TEST(WebSocketStream, ResetStartsANewConnection) {
    FakeByteStream socket({bytes({0x88, 0}), bytes({0x81, 1}) + "n"});
    WebSocketStream stream(socket);
    std::string message;
    EXPECT_FALSE(stream.receiveMessage(message));
    stream.reset();
    EXPECT_TRUE(stream.receiveMessage(message));
    EXPECT_EQ(message, "n");
}

} // namespace
} // namespace vendrel

#include "net/websocket_stream.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "fakes/fake_byte_stream.h"
#include "net/frame_bytes.h"

namespace vendrel {
namespace {

using testing::bytes;
using testing::FakeByteStream;

TEST(WebSocketStream, ReceivesMessagesAndAnswersOnTheWay) {
    struct Case {
        const char* name;
        std::vector<std::string> server;
        std::vector<std::string> messages; // returned before the connection ends
        std::vector<std::string> writes;
        FrameError error = FrameError::None;
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
        // Nothing after a close is returned, and the close is echoed once.
        {"close echoed",
         {bytes({0x81, 1}) + "a" + bytes({0x88, 2, 0x03, 0xE8}) + bytes({0x81, 1}) + "b"},
         {"a"},
         {bytes({0x88, 2, 0x03, 0xE8})}},
        {"masked", {bytes({0x81, 0x85, 1, 2, 3, 4}) + "abcde"}, {}, {}, FrameError::Masked},
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
            EXPECT_FALSE(stream.receiveMessage(message)) << c.name;
            EXPECT_EQ(socket.writes, c.writes) << c.name;
            EXPECT_EQ(stream.lastError(), c.error) << c.name;
        }
    }
}

TEST(WebSocketStream, SendsOneWholeFramePerTextAndCountsOnlyThePayloadThatWentOut) {
    const std::tuple<std::size_t, std::string, std::size_t> cases[] = {
        {SIZE_MAX, bytes({0x81, 6}) + "msel 1", 6},
        {4, bytes({0x81, 6}) + "ms", 2},
        {1, bytes({0x81}), 0},
    };
    for (const auto& [writeLimit, written, result] : cases) {
        FakeByteStream socket;
        socket.writeLimit = writeLimit;
        WebSocketStream stream(socket);
        EXPECT_EQ(stream.sendText("msel 1"), result) << writeLimit;
        EXPECT_EQ(socket.writes, std::vector<std::string>{written}) << writeLimit;
    }
}

} // namespace
} // namespace vendrel

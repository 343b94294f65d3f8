#include "net/handshake.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "fakes/fake_byte_stream.h"
#include "net/frame_bytes.h"
#include "net/websocket_stream.h"

namespace vendrel {
namespace {

TEST(Handshake, RequestBytes) {
    EXPECT_EQ(buildHandshakeRequest("YWJj"), "GET /play?YWJj HTTP/1.1\r\n"
                                             "Connection:upgrade\r\n"
                                             "Upgrade:websocket\r\n"
                                             "Sec-WebSocket-Version:13\r\n"
                                             "\r\n");
    const std::string longQuery(3000, 'Q');
    EXPECT_EQ(buildHandshakeRequest(longQuery),
              "GET /play?" + longQuery.substr(0, kMaxHandshakeRequest - 10));
}

TEST(Handshake, ReadsTheAnswerAndLogsIt) {
    std::string manyHeaders = "HTTP/1.1 101 Switching Protocols\r\n";
    std::vector<std::string> manyHeadersLog;
    for (std::size_t i = 0; i < kMaxHandshakeHeaders; ++i) {
        manyHeaders += "X: y\r\n";
        manyHeadersLog.emplace_back("Header: X: y");
    }
    manyHeadersLog.emplace_back("Too many handshake headers");
    // What the server sends, the result, and the log.
    const std::tuple<std::vector<std::string>, int, std::vector<std::string>> cases[] = {
        // Lines split across reads; carriage returns dropped wherever they are.
        {{"HTTP/1.1 1", "01 Switching Protocols\r", "\nUpgrade: web\rsocket\r\n", "\r\n"},
         0,
         {"Header: Upgrade: websocket", "Header: "}},
        {{"HTTP/1.1 200 OK\r\n\r\n"}, -1, {"Status!=101: 200; status line = HTTP/1.1 200 OK"}},
        {{"garbage\n"}, -1, {"Status!=101: 0; status line = garbage"}},
        {{"HTTP/1.1 101"}, -1, {"Connection lost before response"}},
        {{"HTTP/1.1 101 Switching Protocols\r\nX: y\r\nZ"},
         -1,
         {"Header: X: y", "Connection lost while reading headers"}},
        {{std::string(kMaxHandshakeLine + 1, 'h')}, -1, {"Handshake line too long"}},
        {{manyHeaders}, -1, manyHeadersLog},
    };
    for (const auto& [server, result, log] : cases) {
        testing::FakeByteStream socket(server);
        WebSocketStream stream(socket);
        std::vector<std::string> logged;
        EXPECT_EQ(performHandshake(stream, "YQ..",
                                   [&](std::string_view line) { logged.emplace_back(line); }),
                  result)
            << log[0];
        EXPECT_EQ(logged, log);
        EXPECT_EQ(socket.writes, std::vector<std::string>{buildHandshakeRequest("YQ..")});
    }
}

TEST(Handshake, FrameInTheSamePacketAsTheAnswerIsKept) {
    testing::FakeByteStream socket(
        {"HTTP/1.1 101 Switching Protocols\r\n\r\n" + testing::bytes({0x81, 2}) + "ok"});
    WebSocketStream stream(socket);
    ASSERT_EQ(performHandshake(stream, "", [](std::string_view) {}), 0);
    std::string message;
    EXPECT_TRUE(stream.receiveMessage(message));
    EXPECT_EQ(message, "ok");
}

} // namespace
} // namespace vendrel

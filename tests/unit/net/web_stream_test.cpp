#include "net/web_stream.h"

#include <gtest/gtest.h>

#include "fakes/fake_socket_system.h"

namespace vendrel {
namespace {

using testing::FakeSocketSystem;
using testing::PlannedConnection;

std::string readAll(WebStream& stream) {
    std::string out;
    char buffer[7];
    while (const std::size_t got = stream.read(buffer, sizeof buffer)) {
        out.append(buffer, got);
    }
    return out;
}

TEST(WebStream, ParsesOnlyWebUrlsThatCannotSmuggleHeaders) {
    const struct {
        const char* url;
        const char* host; // nullptr: refused
        int port;
        const char* path;
        bool isTls = false;
    } cases[] = {
        {"http://radio.example:8000/live.mp3", "radio.example", 8000, "/live.mp3"},
        {"HTTP://radio.example", "radio.example", 80, "/"},
        {"http://radio.example:99999/a", "radio.example", 80, "/a"},
        {"https://radio.example/a", "radio.example", 443, "/a", true},
        {"httpx://radio.example/a", nullptr, 0, nullptr},
        {"http:///a", nullptr, 0, nullptr},
        {"http://user@radio.example/a", nullptr, 0, nullptr},
        {"http://radio.example/a b", nullptr, 0, nullptr},
        {"http://radio.example/a\r\nX-Evil: 1", nullptr, 0, nullptr},
    };
    for (const auto& c : cases) {
        const auto url = parseHttpUrl(c.url);
        ASSERT_EQ(url.has_value(), c.host != nullptr) << c.url;
        if (url) {
            EXPECT_EQ(url->host, c.host) << c.url;
            EXPECT_EQ(url->port, c.port) << c.url;
            EXPECT_EQ(url->path, c.path) << c.url;
            EXPECT_EQ(url->security == SocketSystem::Security::Tls, c.isTls) << c.url;
        }
    }
}

TEST(WebStream, ReadsTheBodyAfterTheHeadWhateverTheSplitAndRewindsWithinIt) {
    FakeSocketSystem sockets;
    sockets.plan.push_back(
        PlannedConnection{0,
                          {"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nContent",
                           "-Length: 16\r\n\r\n0123", "456789", "abcdef"}});
    auto stream = WebStream::open(sockets, "http://host:81/x.mp3");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(sockets.written.at(0).starts_with("GET /x.mp3 HTTP/1.0\r\nHost:host:81\r\n"));
    EXPECT_EQ(stream->contentType(), "audio/mpeg");
    EXPECT_EQ(stream->length(), 16u);
    char buffer[4];
    ASSERT_EQ(stream->read(buffer, 4), 4u);
    ASSERT_TRUE(stream->seek(0));
    ASSERT_EQ(stream->read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    ASSERT_TRUE(stream->seek(12));
    EXPECT_EQ(readAll(*stream), "cdef");
    EXPECT_FALSE(stream->seek(100));
}

TEST(WebStream, AnEndlessStreamKeepsOnlyABoundedPastBehindTheReader) {
    FakeSocketSystem sockets;
    PlannedConnection radio{0, {"HTTP/1.1 200 OK\r\n\r\n"}};
    radio.incoming.resize(65, std::string(16384, 'r'));
    sockets.plan.push_back(radio);
    WebStreamLimits limits;
    limits.maxKeptBytes = 100000;
    auto stream = WebStream::open(sockets, "http://radio/", limits);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(readAll(*stream).size(), 64u * 16384);
    // The start is long gone, so it cannot be rewound to; the recent past can.
    EXPECT_FALSE(stream->seek(0));
    EXPECT_TRUE(stream->seek(64u * 16384 - 10));
}

TEST(WebStream, FollowsRedirectsAndRefusesFailures) {
    struct Case {
        const char* url;
        const char* location;
        std::vector<std::string> hosts;
        const char* hostLine; // of the first request: the site, its port only when not the default
        const char* secondRequest;
    };
    const Case cases[] = {
        {"http://a/x", "http://b:81/y", {"a:80", "b:81"}, "\r\nHost:a\r\n", "GET /y "},
        // A place on the same server.
        {"http://a:8000/x", "/c/d", {"a:8000", "a:8000"}, "\r\nHost:a:8000\r\n", "GET /c/d "},
        // An encrypted stream stays encrypted when it moves within its site.
        {"https://a/x", "/y", {"tls:a:443", "tls:a:443"}, "\r\nHost:a\r\n", "GET /y "},
    };
    for (const auto& c : cases) {
        FakeSocketSystem sockets;
        sockets.plan.push_back(PlannedConnection{
            0, {std::string("HTTP/1.0 302 Found\r\nLocation: ") + c.location + "\r\n\r\n"}});
        sockets.plan.push_back(PlannedConnection{0, {"HTTP/1.0 200 OK\r\n\r\nOggS"}});
        auto stream = WebStream::open(sockets, c.url);
        ASSERT_NE(stream, nullptr) << c.url;
        EXPECT_EQ(sockets.hosts, c.hosts) << c.url;
        EXPECT_NE(sockets.written.at(0).find(c.hostLine), std::string::npos) << c.url;
        EXPECT_TRUE(sockets.written.at(1).starts_with(c.secondRequest)) << c.url;
        EXPECT_EQ(readAll(*stream), "OggS") << c.url;
    }
    FakeSocketSystem looping;
    looping.plan.resize(10, {0, {"HTTP/1.0 301 Moved\r\nLocation: http://host/a\r\n\r\n"}});
    EXPECT_EQ(WebStream::open(looping, "http://host/a"), nullptr);
    EXPECT_EQ(looping.hosts.size(), 5u);
    const std::string refused[] = {
        "HTTP/1.0 404 Not Found\r\n\r\n",
        "HTTP/1.0 302 Found\r\n\r\n", // a redirect without a place to go
        "HTTP/1.0 302 Found\r\nLocation: ftp://elsewhere/\r\n\r\n",
        "SSH-2.0-OpenSSH\r\n\r\n",
        "HTTP/1.0 200 OK\r\nNo-End-Of-Head",
        "HTTP/1.0 200 OK\r\n" + std::string(20000, 'x'),
    };
    for (const std::string& answer : refused) {
        FakeSocketSystem sockets;
        sockets.plan.push_back(PlannedConnection{0, {answer}});
        EXPECT_EQ(WebStream::open(sockets, "http://host/a"), nullptr) << answer.substr(0, 40);
    }
}

} // namespace
} // namespace vendrel

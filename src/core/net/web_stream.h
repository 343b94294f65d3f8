#pragma once
// The body of a web resource read as it arrives: a sound file or an endless radio stream
// behind an http:// URL. Decoders read it like a file that can be rewound within what has
// already arrived, since they look at the start of a stream before they play it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/tcp_socket.h"

namespace vendrel {

struct WebStreamLimits {
    int idleTimeoutMs = 15000;            // a silent server has failed
    std::size_t maxHeadBytes = 16 * 1024; // status line and headers
    std::size_t maxKeptBytes = 32u << 20; // rewinding is possible only within these
    int maxRedirects = 4;
};

struct HttpUrl {
    std::string host;
    int port = 80;
    std::string authority; // host and port as the URL wrote them, for the Host line
    std::string path;      // from the first '/', "/" when the URL has none
    SocketSystem::Security security = SocketSystem::Security::Plain;
};

// http:// and https:// URLs; https goes through the system's TLS (port 443 unless given).
[[nodiscard]] std::optional<HttpUrl> parseHttpUrl(std::string_view url);

class WebStream {
public:
    // Connects, asks for the URL and reads the answer's head, following redirects. Nothing
    // when the server cannot be reached or answers with anything but success ("HTTP/1.x 200"
    // or a radio server's "ICY 200").
    [[nodiscard]] static std::unique_ptr<WebStream>
    open(SocketSystem& sockets, std::string_view url, const WebStreamLimits& limits = {});

    WebStream(const WebStream&) = delete;
    WebStream& operator=(const WebStream&) = delete;

    // The decoding thread. Up to size bytes from the current position; 0 at the end, after an
    // error or a timeout. Blocks until something arrives.
    [[nodiscard]] std::size_t read(char* out, std::size_t size);
    // Moves to a byte position: backwards within what was kept, forwards by reading on. False
    // when the position cannot be reached.
    [[nodiscard]] bool seek(std::uint64_t position);
    [[nodiscard]] std::uint64_t position() const { return position_; }
    // Any thread: wakes a blocked read, which then ends the stream.
    void close() { socket_.close(); }

    [[nodiscard]] const std::string& contentType() const { return contentType_; }
    [[nodiscard]] std::optional<std::uint64_t> length() const { return length_; }

private:
    WebStream(SocketSystem& sockets, WebStreamLimits limits);
    // The head of the answer to one request; the body bytes read with it are kept.
    [[nodiscard]] std::optional<std::string> request(const HttpUrl& url);
    // Reads more of the body into kept_; false at the end.
    [[nodiscard]] bool receiveMore();

    TcpSocket socket_;
    WebStreamLimits limits_;
    std::string contentType_;
    std::optional<std::uint64_t> length_;
    std::vector<char> kept_;      // body bytes from keptStart_ on
    std::uint64_t keptStart_ = 0; // body position of kept_[0]
    std::uint64_t position_ = 0;  // the reader's position in the body
    bool hasEnded_ = false;
};

} // namespace vendrel

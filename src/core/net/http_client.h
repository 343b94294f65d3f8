#pragma once
// A small HTTP/1.0 client for the server's file downloads: one GET per connection, read until
// the server closes it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/socket_system.h"

namespace vendrel {

struct HttpLimits {
    // A web server that stays silent this long has failed; the worker must not wait forever.
    int idleTimeoutMs = 60000;
    // Larger responses are refused: the server's files are sounds and small data.
    std::size_t maxResponseBytes = std::size_t{256} * 1024 * 1024;
};

// Results besides 0 (success) and positive codes (connect error or HTTP status).
inline constexpr int kHttpNoStatus = -1;
inline constexpr int kHttpNoBody = -2;
inline constexpr int kHttpTimedOut = -3;
inline constexpr int kHttpTooLarge = -4;
// The connection broke, or ended before the length the server announced.
inline constexpr int kHttpTruncated = -5;

struct HttpResponse {
    int result = kHttpNoStatus;
    std::string bytes; // the whole response, headers included
    std::size_t bodyOffset = 0;
    std::size_t bodyLength = 0;
    [[nodiscard]] std::string_view body() const { return {bytes.data() + bodyOffset, bodyLength}; }
};

// "host" or "host:port"; the port is the default when none is given or it is not a number in
// range.
struct HostAndPort {
    std::string host;
    int port = 80;
};
[[nodiscard]] HostAndPort splitHostPort(std::string_view authority, int defaultPort = 80);

// A server's web host as config.ini gives it: "host[:port]", or the same after "http://" or
// "https://". https goes through TLS, on port 443 unless one is given.
struct WebHost {
    std::string host;
    int port = 80;
    std::string authority; // host and port as written, without the scheme: the Host line
    SocketSystem::Security security = SocketSystem::Security::Plain;
};
[[nodiscard]] WebHost parseWebHost(std::string_view webHost);

[[nodiscard]] std::string httpRequestText(std::string_view method, std::string_view path,
                                          std::string_view host);

// The value of a header in a response's head (status line and headers), the name matched
// without regard to case, blanks around the value removed.
[[nodiscard]] std::optional<std::string_view> httpHeaderValue(std::string_view head,
                                                              std::string_view name);
// The announced body length, when the head has a readable one.
[[nodiscard]] std::optional<std::uint64_t> httpContentLength(std::string_view head);

// The status of a well-formed status line ("HTTP/1.0 200 OK"): three digits, 100 to 999.
[[nodiscard]] std::optional<int> httpStatus(std::string_view response);

// The status and body rules over a complete response: 0 with a body for status 200 only;
// a response without a well-formed status is kHttpNoStatus.
void parseHttpResponse(HttpResponse& response);

// Any thread (the worker). Connects to the web host (parseWebHost), sends the request and reads
// until the server closes. The Host line names the web host as given, port included: a server
// with several sites on one address tells them apart by it.
[[nodiscard]] HttpResponse httpRequest(SocketSystem& sockets, std::string_view webHost,
                                       std::string_view path, std::string_view method,
                                       const HttpLimits& limits = {});

} // namespace vendrel

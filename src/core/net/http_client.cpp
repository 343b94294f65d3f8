#include "net/http_client.h"

#include <cstdint>
#include <optional>

#include "app/main_layout.h"
#include "net/tcp_socket.h"
#include "text/format.h"
#include "text/numbers.h"

namespace vendrel {

HostAndPort splitHostPort(std::string_view authority, int defaultPort) {
    const std::size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos) {
        return {std::string(authority), defaultPort};
    }
    const ParsedInteger port = parseInteger(authority.substr(colon + 1), 10);
    const bool isValid =
        port.length == authority.size() - colon - 1 && port.value > 0 && port.value <= 65535;
    return {std::string(authority.substr(0, colon)),
            isValid ? static_cast<int>(port.value) : defaultPort};
}

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

WebHost parseWebHost(std::string_view webHost) {
    WebHost result;
    int defaultPort = 80;
    if (startsWithNoCase(webHost, "https://")) {
        webHost.remove_prefix(8);
        result.security = SocketSystem::Security::Tls;
        defaultPort = 443;
    } else if (startsWithNoCase(webHost, "http://")) {
        webHost.remove_prefix(7);
    }
    // A trailing slash is how addresses are often copied; it is not part of the host.
    while (webHost.ends_with('/')) {
        webHost.remove_suffix(1);
    }
    HostAndPort address = splitHostPort(webHost, defaultPort);
    result.host = std::move(address.host);
    result.port = address.port;
    result.authority = std::string(webHost);
    return result;
}

std::string httpRequestText(std::string_view method, std::string_view path, std::string_view host) {
    return formatText(4096, "%s %s HTTP/1.0\r\nHost:%s\r\nUser-Agent:Vendrel %d.%d.%d\r\n\r\n",
                      method, path, host, kVersionMajor, kVersionMinor, kVersionPatch);
}

std::optional<std::string_view> httpHeaderValue(std::string_view head, std::string_view name) {
    // The status line never holds a colon before its end, so it never matches.
    std::size_t start = 0;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string_view::npos) {
            end = head.size();
        }
        const std::string_view line = head.substr(start, end - start);
        start = end + 2;
        if (line.size() <= name.size() || line[name.size()] != ':') {
            continue;
        }
        bool matches = true;
        for (std::size_t i = 0; i < name.size() && matches; ++i) {
            const auto lower = [](char c) {
                return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
            };
            matches = lower(line[i]) == lower(name[i]);
        }
        if (matches) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
                value.remove_prefix(1);
            }
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
                value.remove_suffix(1);
            }
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> httpContentLength(std::string_view head) {
    const auto text = httpHeaderValue(head, "content-length");
    if (!text) {
        return std::nullopt;
    }
    const ParsedInteger value = parseInteger(*text, 10);
    if (value.length > 0 && value.value >= 0) {
        return static_cast<std::uint64_t>(value.value);
    }
    return std::nullopt;
}

std::optional<int> httpStatus(std::string_view response) {
    const std::string_view line = response.substr(0, response.find_first_of("\r\n"));
    const std::size_t blank = line.find(' ');
    if (!line.starts_with("HTTP/") || blank == std::string_view::npos) {
        return std::nullopt;
    }
    // Three digits and nothing glued to them: no sign, no blanks before, no longer number, so
    // the status is 100 to 999 and never one of our own results (0 and the negative ones).
    const std::string_view rest = line.substr(blank + 1);
    const auto isDigit = [&](std::size_t i) {
        return rest[i] >= '0' && rest[i] <= '9';
    };
    if (rest.size() < 3 || !isDigit(0) || !isDigit(1) || !isDigit(2) || rest[0] == '0' ||
        (rest.size() > 3 && rest[3] != ' ')) {
        return std::nullopt;
    }
    return (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
}

void parseHttpResponse(HttpResponse& response) {
    const std::string& bytes = response.bytes;
    const std::optional<int> status = httpStatus(bytes);
    if (!status) {
        response.result = kHttpNoStatus;
        return;
    }
    if (*status != 200) {
        response.result = *status;
        return;
    }
    const std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string::npos || end + 4 >= bytes.size()) {
        response.result = kHttpNoBody;
        return;
    }
    response.bodyOffset = end + 4;
    response.bodyLength = bytes.size() - response.bodyOffset;
    response.result = 0;
    // HTTP/1.0 ends a body by closing; a server that announced its length lets us tell a
    // complete file from one cut short.
    const std::optional<std::uint64_t> announced =
        httpContentLength(std::string_view(bytes).substr(0, end));
    if (announced && *announced != response.bodyLength) {
        response.result = kHttpTruncated;
    }
}

HttpResponse httpRequest(SocketSystem& sockets, std::string_view webHost, std::string_view path,
                         std::string_view method, const HttpLimits& limits) {
    HttpResponse response;
    // A line break in the host (config.ini) or the path would add lines to the request.
    const auto hasLineBreak = [](std::string_view text) {
        return text.find_first_of("\r\n") != std::string_view::npos;
    };
    if (hasLineBreak(webHost) || hasLineBreak(path)) {
        return response;
    }
    TcpSocket socket(sockets);
    const WebHost address = parseWebHost(webHost);
    const int connected = socket.connect(address.host, address.port, address.security);
    if (connected != 0) {
        response.result = connected;
        return response;
    }
    const std::string request = httpRequestText(method, path, address.authority);
    if (socket.send(request) != static_cast<int>(request.size())) {
        response.result = kHttpNoStatus;
        return response;
    }
    socket.setReadTimeout(limits.idleTimeoutMs);
    std::string& bytes = response.bytes;
    char buffer[16384];
    for (;;) {
        const std::size_t got = socket.read(buffer);
        if (got == 0) {
            if (socket.hasTimedOut()) {
                response.result = kHttpTimedOut;
                return response;
            }
            if (socket.hasReadFailed()) {
                response.result = kHttpTruncated;
                return response;
            }
            break;
        }
        if (bytes.size() + got > limits.maxResponseBytes) {
            response.result = kHttpTooLarge;
            return response;
        }
        bytes.append(buffer, got);
    }
    parseHttpResponse(response);
    return response;
}

} // namespace vendrel

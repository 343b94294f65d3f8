#include "net/handshake.h"

#include <cctype>
#include <limits>

#include "net/websocket_stream.h"
#include "text/format.h"
#include "text/numbers.h"

namespace vendrel {

std::string buildHandshakeRequest(std::string_view encodedQuery) {
    return formatText(kMaxHandshakeRequest + 1,
                      "GET /play?%s HTTP/1.1\r\nConnection:upgrade\r\nUpgrade:websocket\r\n"
                      "Sec-WebSocket-Version:13\r\n\r\n",
                      encodedQuery);
}

LineStep takeLineBytes(std::string_view input, std::string& line, std::size_t maxLine) {
    for (std::size_t i = 0; i < input.size(); ++i) {
        const char c = input[i];
        if (c == '\n') {
            return {LineProgress::Complete, i + 1};
        }
        if (c == '\r') {
            continue;
        }
        if (line.size() >= maxLine) {
            return {LineProgress::TooLong, i};
        }
        line += c;
    }
    return {LineProgress::Partial, input.size()};
}

int parseStatusCode(std::string_view statusLine) {
    const auto isBlank = [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) != 0;
    };
    std::size_t i = 0;
    while (i < statusLine.size() && isBlank(statusLine[i])) {
        ++i;
    }
    while (i < statusLine.size() && !isBlank(statusLine[i])) {
        ++i;
    }
    const auto parsed = parseInteger(statusLine.substr(i), 10);
    if (parsed.length == 0) {
        return 0;
    }
    // A status code never comes near the limits; saturate rather than wrap a silly one.
    if (parsed.value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (parsed.value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(parsed.value);
}

std::string statusRefusedLogText(int code, std::string_view statusLine) {
    std::string text = "Status!=101: ";
    text.append(std::to_string(code)).append("; status line = ").append(statusLine);
    return text;
}

int performHandshake(WebSocketStream& stream, std::string_view encodedQuery,
                     const LogLineSink& log) {
    // A failed write shows up as a failed read of the answer, which is logged there.
    (void)stream.sendRaw(buildHandshakeRequest(encodedQuery));
    std::string line;
    const LineRead status = stream.readLine(line);
    if (status != LineRead::Line) {
        log(status == LineRead::TooLong ? "Handshake line too long"
                                        : "Connection lost before response");
        return -1;
    }
    const int code = parseStatusCode(line);
    if (code != 101) {
        log(statusRefusedLogText(code, line));
        return -1;
    }
    for (std::size_t count = 0;; ++count) {
        if (count == kMaxHandshakeHeaders) {
            log("Too many handshake headers");
            return -1;
        }
        const LineRead header = stream.readLine(line);
        if (header != LineRead::Line) {
            log(header == LineRead::TooLong ? "Handshake line too long"
                                            : "Connection lost while reading headers");
            return -1;
        }
        log("Header: " + line);
        if (line.empty()) {
            return 0;
        }
    }
}

} // namespace vendrel

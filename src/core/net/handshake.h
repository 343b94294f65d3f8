#pragma once
// The opening handshake: our fixed upgrade request and the reading of the server's answer.
// The request, the line splitting and the status check are pure; performHandshake runs them
// over a WebSocketStream and writes what it sees to the debug log.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vendrel {

class WebSocketStream;

// Longest request we send, in bytes; longer ones are cut.
inline constexpr std::size_t kMaxHandshakeRequest = 2047;
// A response line longer than this, or more header lines than this, is not a WebSocket
// server talking: the handshake fails instead of filling memory or the debug log.
inline constexpr std::size_t kMaxHandshakeLine = 8192;
inline constexpr std::size_t kMaxHandshakeHeaders = 100;

// The server wants no Host header and no key, and no blank after the colons.
[[nodiscard]] std::string buildHandshakeRequest(std::string_view encodedQuery);

enum class LineProgress { Partial, Complete, TooLong };

struct LineStep {
    LineProgress progress = LineProgress::Partial;
    std::size_t consumed = 0; // the line feed included; bytes after it are not taken
};

// Appends the bytes of input up to the first line feed to line, dropping carriage returns
// wherever they are; the line feed itself is not kept. The caller clears line before the
// first piece of a line.
[[nodiscard]] LineStep takeLineBytes(std::string_view input, std::string& line,
                                     std::size_t maxLine = kMaxHandshakeLine);

// A word, then a decimal integer; a missing or unreadable code is 0.
[[nodiscard]] int parseStatusCode(std::string_view statusLine);

// The debug log line for a refused upgrade.
[[nodiscard]] std::string statusRefusedLogText(int code, std::string_view statusLine);

using LogLineSink = std::function<void(std::string_view)>;

// Sends the request and reads the answer up to its empty line. 0: the stream now carries
// frames. -1: the server refused or the connection failed; the caller retries as after a
// refused connection. Connection thread only.
[[nodiscard]] int performHandshake(WebSocketStream& stream, std::string_view encodedQuery,
                                   const LogLineSink& log);

} // namespace vendrel

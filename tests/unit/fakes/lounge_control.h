#pragma once
// Talks to the lounge server's control port (see tools/lounge/README.md). The lounge is
// started by tests/run_with_lounge.py; without it the tests that need it are skipped.

#include <cstdlib>
#include <optional>
#include <string>

#include "fakes/platform_sockets.h"
#include "net/tcp_socket.h"

namespace vendrel::testing {

class LoungeControl {
public:
    // Nothing when the lounge was not started for this run.
    static std::optional<int> port(const char* variable) {
        const char* value = std::getenv(variable);
        return value && *value ? std::optional<int>(std::atoi(value)) : std::nullopt;
    }
    static bool isAvailable() { return port("VENDREL_LOUNGE_CONTROL").has_value(); }
    static int gamePort() { return port("VENDREL_LOUNGE_GAME").value_or(0); }
    static int webPort() { return port("VENDREL_LOUNGE_WEB").value_or(0); }
    static std::string webRoot() {
        const char* value = std::getenv("VENDREL_LOUNGE_WEB_ROOT");
        return value ? value : "";
    }

    LoungeControl() : socket_(platformSockets()) {
        isConnected_ =
            socket_.connect("127.0.0.1", port("VENDREL_LOUNGE_CONTROL").value_or(0)) == 0;
    }

    // One command line; the answer line. A block ("connection" ... "end") is sent whole.
    std::string command(const std::string& text) {
        if (!isConnected_) {
            return "error no control connection";
        }
        (void)socket_.send(text + "\n");
        std::size_t lines = 1;
        if (text.rfind("connection", 0) == 0) {
            lines = 1; // a block answers once, at its "end"
        }
        std::string answer;
        for (std::size_t got = 0; got < lines;) {
            char c = 0;
            if (socket_.receiveExact(&c, 1) != 1) {
                return "error control connection lost";
            }
            if (c == '\n') {
                ++got;
                if (got < lines) {
                    answer.clear();
                }
            } else {
                answer.push_back(c);
            }
        }
        return answer;
    }

private:
    TcpSocket socket_;
    bool isConnected_ = false;
};

} // namespace vendrel::testing

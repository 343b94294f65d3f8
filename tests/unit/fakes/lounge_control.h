#pragma once
// Talks to the lounge server's control port (see tools/lounge/README.md). The lounge is
// started by tests/run_with_lounge.py; without it the tests that need it are skipped.

#include <cstdlib>
#include <string>

#include "fakes/platform_sockets.h"
#include "net/tcp_socket.h"

namespace vendrel::testing {

class LoungeControl {
public:
    // Empty when the lounge was not started for this run.
    static std::string variable(const char* name) {
        const char* value = std::getenv(name);
        return value ? value : "";
    }
    static bool isAvailable() { return !variable("VENDREL_LOUNGE_CONTROL").empty(); }
    static int gamePort() { return std::atoi(variable("VENDREL_LOUNGE_GAME").c_str()); }
    static int webPort() { return std::atoi(variable("VENDREL_LOUNGE_WEB").c_str()); }
    static std::string webRoot() { return variable("VENDREL_LOUNGE_WEB_ROOT"); }

    LoungeControl() : socket_(platformSockets()) {
        const int port = std::atoi(variable("VENDREL_LOUNGE_CONTROL").c_str());
        isConnected_ = port != 0 && socket_.connect("127.0.0.1", port) == 0;
    }

    // One command (a block, "connection" ... "end", is sent whole); its one answer line.
    std::string command(const std::string& text) {
        if (!isConnected_) {
            return "error no control connection";
        }
        (void)socket_.send(text + "\n");
        std::string answer;
        for (char c = 0; socket_.receiveExact(&c, 1) == 1;) {
            if (c == '\n') {
                return answer;
            }
            answer.push_back(c);
        }
        return "error control connection lost";
    }

private:
    TcpSocket socket_;
    bool isConnected_ = false;
};

} // namespace vendrel::testing

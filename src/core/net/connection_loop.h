#pragma once
// The connection thread: connect with growing pauses, run the command loop while logged in,
// reconnect after a drop, and report a final failure.

#include <functional>

namespace vendrel {

class Clock;
class Connection;
class SoundPlayer;

struct ConnectionLoop {
    Connection& connection;
    Clock& clock;
    SoundPlayer& sounds;
    // One login attempt at the selected server: 0, Connection::kRetry, kRefused or an error.
    std::function<int()> connectToSelectedServer;
    // The command loop of a logged-in connection; returns when it is over.
    std::function<void()> runCommands;
    // The final failure, shown on the GUI thread; the program ends after it.
    std::function<void(int result)> reportConnectionError;
};

// The pauses before each of the six attempts, in milliseconds: 300, 1300, 3300, 7300, 15300,
// 31300.
inline constexpr int kConnectAttempts = 6;

// Runs until active is cleared or a final failure was reported. Connection thread.
void doConnect2(ConnectionLoop& loop);

} // namespace vendrel

#include "net/connection_loop.h"

#include <cstdint>
#include <optional>

#include "net/connection.h"
#include "ports/clock.h"
#include "ports/sound_player.h"

namespace vendrel {
namespace {

// A connection that drops at once is not hammered: no attempt within 5 s of the last login.
constexpr std::int64_t kQuietAfterLoginMs = 5000;

} // namespace

void doConnect2(ConnectionLoop& loop) {
    std::optional<std::int64_t> lastConnectedMs;
    SoundPlayer::Handle connecting = 0;
    while (loop.connection.active) {
        if (connecting == 0 || !loop.sounds.isPlaying(connecting)) {
            connecting = loop.sounds.playSound("connecting 0.25", -1);
            loop.sounds.setLooping(connecting);
        }
        int result = Connection::kRetry;
        for (std::int64_t k = 0; k <= 59 && result == Connection::kRetry && loop.connection.active;
             k = 2 * k + 1) {
            loop.clock.sleepMs(1000 * k + 300);
            const bool isQuiet =
                lastConnectedMs && loop.clock.nowMs() - *lastConnectedMs < kQuietAfterLoginMs;
            result = isQuiet ? Connection::kRetry : loop.connectToSelectedServer();
        }
        loop.sounds.stop(connecting);
        connecting = 0;
        if (!loop.connection.active) {
            // The program is ending (quit or exit): nothing to report, no reconnection.
            return;
        }
        if (result != 0) {
            loop.connection.active = false;
            loop.reportConnectionError(result);
            return;
        }
        lastConnectedMs = loop.clock.nowMs();
        loop.sounds.playSound("connected 0.1875", -1);
        loop.runCommands();
    }
}

} // namespace vendrel

#include "net/connection_loop.h"

#include <gtest/gtest.h>

#include <deque>

#include "app/debug_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_socket_system.h"
#include "net/connection.h"
#include "ports/sound_player.h"

namespace vendrel {
namespace {

class RecordingSounds final : public SoundPlayer {
public:
    std::vector<std::string> events;
    Handle next = 1;
    Handle playSound(const std::string& parameters, int) override {
        events.push_back("play " + parameters);
        return next++;
    }
    void setLooping(Handle handle) override { events.push_back("loop " + std::to_string(handle)); }
    void stop(Handle handle) override { events.push_back("stop " + std::to_string(handle)); }
    bool isPlaying(Handle) override { return true; }
    bool isSoundLoaded(const std::string&) override { return false; }
};

struct LoopWorld {
    DebugLog log;
    testing::FakeSocketSystem sockets;
    Connection connection{sockets, log};
    testing::FakeClock clock;
    RecordingSounds sounds;
    std::deque<int> results;                // what each attempt gives
    std::vector<std::int64_t> attemptTimes; // clock at each attempt
    std::vector<int> reported;
    int sessions = 0;
    std::function<void()> onSession = [] {
    };

    ConnectionLoop loop{connection,
                        clock,
                        sounds,
                        [this] {
                            attemptTimes.push_back(clock.now);
                            const int result =
                                results.empty() ? Connection::kRetry : results.front();
                            if (!results.empty()) {
                                results.pop_front();
                            }
                            return result;
                        },
                        [this] {
                            ++sessions;
                            onSession();
                        },
                        [this](int result) {
                            reported.push_back(result);
                        }};
};

TEST(ConnectionLoop, SixAttemptsWithGrowingPausesThenTheError) {
    LoopWorld world;
    doConnect2(world.loop);
    EXPECT_EQ(world.clock.sleeps, (std::vector<std::int64_t>{300, 1300, 3300, 7300, 15300, 31300}));
    EXPECT_EQ(world.attemptTimes.size(), 6u);
    EXPECT_EQ(world.reported, std::vector<int>{Connection::kRetry});
    EXPECT_FALSE(world.connection.active);
    EXPECT_EQ(world.sounds.events,
              (std::vector<std::string>{"play connecting 0.25", "loop 1", "stop 1"}));
}

TEST(ConnectionLoop, FinalResultsStopAtOnce) {
    for (const int result : {Connection::kRefused, 11001}) {
        LoopWorld world;
        world.results = {Connection::kRetry, result};
        doConnect2(world.loop);
        EXPECT_EQ(world.attemptTimes.size(), 2u);
        EXPECT_EQ(world.reported, std::vector<int>{result});
    }
}

TEST(ConnectionLoop, ADropSoonAfterLoginSkipsTwoAttempts) {
    LoopWorld world;
    world.results = {0, 0};
    world.onSession = [&] {
        if (world.sessions == 1) {
            world.clock.now += 2000; // dropped 2 s after the login
        } else {
            world.connection.active = false; // the player quits
        }
    };
    doConnect2(world.loop);
    ASSERT_EQ(world.attemptTimes.size(), 2u);
    // The 0.3 s and 1.3 s pauses pass inside the quiet 5 s; the attempt after the 3.3 s pause
    // is the first real one, 4.9 s after the drop and 2 + 4.9 s after the login.
    EXPECT_EQ(world.attemptTimes[1] - world.attemptTimes[0], 2000 + 300 + 1300 + 3300);
    EXPECT_EQ(world.sessions, 2);
    EXPECT_TRUE(world.reported.empty());
    EXPECT_EQ(world.sounds.events,
              (std::vector<std::string>{"play connecting 0.25", "loop 1", "stop 1",
                                        "play connected 0.1875", "play connecting 0.25", "loop 3",
                                        "stop 3", "play connected 0.1875"}));
}

} // namespace
} // namespace vendrel

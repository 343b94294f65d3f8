// Fault injection through the lounge: the server drops the connection at random points (in
// the middle of the handshake answer, in the middle of a frame, while a box is open, while a
// move search runs, while a download waits) many times in a row, natively through the real
// core over real sockets. After each drop the client must log in again and answer, nothing
// of the old connection (a box's answer, a move) may reach the new one, and the threads and
// the heap must stay as they were.
//
// The rounds are VENDREL_DROP_ROUNDS (24 by default) with the random choices of
// VENDREL_DROP_SEED; a long run, from the build folder (build/linux-asan):
//   VENDREL_DROP_ROUNDS=500 python3 ../../tests/run_with_lounge.py
//       tests/unit/vendrel_unit_tests --gtest_filter='ClientSessionLoungeDrops*'

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <semaphore>
#include <string>
#include <thread>

#include "app/client_session_lounge_fixture.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator counts what is live (not what it holds back to catch reuse); gcc
// ships the function but not its header.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vendrel {
namespace {

enum class Drop { InHandshake, InFrame, InBox, InSearch, InDownload };

int environmentNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

// Bytes the program holds on its heap now.
std::size_t heapBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

std::size_t threadCount() {
    std::error_code error;
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}

class ClientSessionLoungeDrops : public testing::ClientSessionLoungeFixture {
protected:
    // Waits until the connection thread has logged in again after session `after`.
    bool waitForLogin(std::uint64_t after) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (session.connection().loggedIn && session.connection().session() > after) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // Waits until the worker has finished every job posted so far.
    void waitForWorker() {
        std::binary_semaphore done(0);
        worker.postJob([&] { done.release(); });
        done.acquire();
    }

    // The server's side of one round; returns what its answer must not hold.
    std::optional<std::string> disturb(Drop drop, int round, std::mt19937& rng) {
        switch (drop) {
        case Drop::InHandshake:
            EXPECT_EQ(
                control.command("connection\ncutanswer " + std::to_string(rng() % 70) + "\nend"),
                "ok planned 1 step(s)");
            break;
        case Drop::InFrame:
            // Announces 256 bytes and sends three.
            EXPECT_EQ(control.command("sendraw 81 7e 01 00 61 62 63"), "ok");
            break;
        case Drop::InBox: {
            dialogs.holdNext(1);
            const std::string id = std::to_string(1000 + round);
            EXPECT_EQ(control.command("send inbx " + id + "\\x7fName\\x7fYour name?\\x7f"), "ok");
            EXPECT_TRUE(dialogs.waitForOpened(++boxesOpened));
            return "inbx " + id + "\x7f";
        }
        case Drop::InSearch:
            // Depth 12 from the empty board: long enough to be running at the drop.
            EXPECT_EQ(control.command("send cn4m 0 0 12 " + std::string(42, '0')), "ok");
            return "inbx 28\x7f";
        case Drop::InDownload:
            EXPECT_EQ(control.command("send dwnl slow.ogg 0"), "ok");
            break;
        }
        return std::nullopt;
    }

    std::size_t boxesOpened = 0;
};

TEST_F(ClientSessionLoungeDrops, EveryDropIsFollowedByANewLoginThatNothingOldAnswers) {
#ifdef _WIN32
    GTEST_SKIP() << "the native build runs the drops";
#endif
    const int rounds = environmentNumber("VENDREL_DROP_ROUNDS", 24);
    const int seed = environmentNumber("VENDREL_DROP_SEED", 1321);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    SCOPED_TRACE("seed " + std::to_string(seed));
    dialogs.inputAnswers.assign(static_cast<std::size_t>(rounds), {true, u"late"});
    HttpLimits limits;
    limits.idleTimeoutMs = 200;
    session.setHttpLimits(limits);
    std::ofstream(pathFromUtf8(testing::LoungeControl::webRoot() + kPathSeparator + "slow.ogg"),
                  std::ios::binary)
        << "slow download";
    ASSERT_EQ(control.command("web stall /autodl/slow.ogg 1"), "ok");

    // Connections of earlier tests still wait in the lounge's queue: the next one is ours.
    while (control.command("session 0").rfind("ok", 0) == 0) {
    }
    std::thread connectionThread([this] { session.runConnectionThread(); });
    // A failed round must still end the connection thread before the session goes.
    struct EndConnection {
        ClientSession& session;
        std::thread& thread;
        ~EndConnection() {
            if (thread.joinable()) {
                session.shutdown();
                thread.join();
            }
        }
    } endConnection{session, connectionThread};
    ASSERT_EQ(control.command("session 60").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitForLogin(0));
    std::size_t warmThreads = 0;
    std::size_t warmBytes = 0;
    for (int round = 0; round < rounds && !HasFatalFailure(); ++round) {
        const auto drop = static_cast<Drop>(rng() % 5);
        SCOPED_TRACE("round " + std::to_string(round) + ", drop " +
                     std::to_string(static_cast<int>(drop)));
        const std::uint64_t before = session.connection().session();
        const std::optional<std::string> stale = disturb(drop, round, rng);
        ASSERT_EQ(control.command("drop"), "ok");
        ASSERT_EQ(control.command("session 60").rfind("ok", 0), 0u);
        ASSERT_TRUE(waitForLogin(before));
        if (drop == Drop::InBox) {
            dialogs.close(); // the player answers only now, on the new connection
        }
        waitForWorker();
        ASSERT_EQ(control.command("send ping"), "ok");
        ASSERT_EQ(control.command("expect pong"), "ok");
        const std::string texts = control.command("texts");
        if (stale) {
            std::string escaped = *stale;
            escaped.replace(escaped.find('\x7f'), 1, "\\\\x7f");
            EXPECT_EQ(texts.find(escaped), std::string::npos) << texts;
        }
        if (round == 3) {
            warmThreads = threadCount();
            warmBytes = heapBytes();
        }
    }
    // The figures a long run reports.
    std::printf("drops %d, logins %llu, threads %zu -> %zu, heap %zu -> %zu bytes\n", rounds,
                static_cast<unsigned long long>(session.connection().session()), warmThreads,
                threadCount(), warmBytes, heapBytes());
    if (rounds > 4 && !HasFatalFailure()) {
        // Only the fakes' own records (history lines, the clock's sleeps, the boxes shown) may
        // grow, by far less than a connection's buffers would if any were kept.
        EXPECT_EQ(threadCount(), warmThreads);
        EXPECT_LE(heapBytes(), warmBytes + 64 * 1024 + 2048 * static_cast<std::size_t>(rounds));
    }
    ASSERT_EQ(control.command("send quit"), "ok");
    connectionThread.join();
    EXPECT_EQ(control.command("mismatches"), "ok 0 []");
}

} // namespace
} // namespace vendrel

#include "app/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <semaphore>
#include <thread>
#include <vector>

namespace vendrel {
namespace {

TEST(Worker, RunsJobsOneAtATimeInPostOrder) {
    Worker worker;
    worker.start();
    std::binary_semaphore release{0};
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::vector<int> order;
    std::latch done{3};
    const auto job = [&](int n, bool waits) {
        return [&, n, waits] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            if (waits) {
                release.acquire(); // like an input box waiting for the player
            }
            order.push_back(n);
            --running;
            done.count_down();
        };
    };
    worker.postJob(job(1, true));
    std::atomic<bool> secondPosted{false};
    std::thread poster([&] {
        worker.postJob(job(2, false)); // blocks until job 1 has finished
        secondPosted = true;
        worker.postJob(job(3, false));
    });
    // The second post cannot complete while the first job waits; let the player answer.
    release.release();
    poster.join();
    done.wait();
    EXPECT_TRUE(secondPosted);
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Worker, SurvivesAJobThatThrows) {
    Worker worker;
    worker.start();
    std::latch done{1};
    worker.postJob([] { throw std::runtime_error("broken job"); });
    worker.postJob([&] { done.count_down(); });
    done.wait();
    SUCCEED();
}

} // namespace
} // namespace vendrel

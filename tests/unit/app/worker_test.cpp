#include "app/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "app/semaphore.h"
#include <thread>
#include <vector>

namespace vendrel {
namespace {

TEST(Worker, RunsJobsOneAtATimeInPostOrder) {
    Worker worker;
    worker.start();
    Semaphore release{0, 1};
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::vector<int> order;
    std::promise<void> allDone;
    int finished = 0;
    const auto job = [&](int n, bool waits) {
        return [&, n, waits] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            if (waits) {
                release.acquire(); // like an input box waiting for the player
            }
            order.push_back(n);
            --running;
            if (++finished == 3) {
                allDone.set_value();
            }
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
    allDone.get_future().wait();
    EXPECT_TRUE(secondPosted);
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Worker, SurvivesAJobThatThrows) {
    Worker worker;
    worker.start();
    std::promise<void> done;
    worker.postJob([] { throw std::runtime_error("broken job"); });
    worker.postJob([&] { done.set_value(); });
    EXPECT_EQ(done.get_future().wait_for(std::chrono::minutes(5)), std::future_status::ready);
}

} // namespace
} // namespace vendrel

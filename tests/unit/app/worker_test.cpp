#include "app/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace vendrel {
namespace {

TEST(Worker, APostWaitsForThePreviousJobAndJobsRunInPostOrder) {
    Worker worker;
    worker.start();
    std::mutex mutex;
    std::condition_variable changed;
    bool isSecondPosted = false;
    bool wasSecondPostedWhileFirstRan = true;
    std::vector<int> order;
    worker.postJob([&] {
        // Like an input box waiting for the player: the next post, below, must still be
        // waiting when this one ends.
        std::unique_lock lock(mutex);
        wasSecondPostedWhileFirstRan =
            changed.wait_for(lock, std::chrono::milliseconds(300), [&] { return isSecondPosted; });
        order.push_back(1);
    });
    worker.postJob([&] {
        std::lock_guard lock(mutex);
        order.push_back(2);
    });
    {
        std::lock_guard lock(mutex);
        isSecondPosted = true;
    }
    changed.notify_all();
    worker.postJob([] {}); // returns once the second job has ended
    EXPECT_FALSE(wasSecondPostedWhileFirstRan);
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(Worker, SurvivesAJobThatThrows) {
    Worker worker;
    worker.start();
    bool hasRun = false;
    worker.postJob([] { throw std::runtime_error("broken job"); });
    worker.postJob([&] { hasRun = true; });
    worker.postJob([] {});
    EXPECT_TRUE(hasRun);
}

} // namespace
} // namespace vendrel

#include "app/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vendrel {
namespace {

using namespace std::chrono_literals;

TEST(Worker, APostWaitsForThePreviousJobAndJobsRunInPostOrder) {
    Worker worker;
    worker.start();
    std::mutex mutex;
    std::condition_variable changed;
    bool isSecondPosted = false;
    bool wasSecondPostedWhileFirstRan = true;
    std::vector<int> order;
    std::promise<void> allDone;
    worker.postJob([&] {
        // Like an input box waiting for the player: the poster below tries to hand over the
        // next job meanwhile, and must still be waiting when this one ends.
        std::unique_lock lock(mutex);
        wasSecondPostedWhileFirstRan =
            changed.wait_for(lock, 300ms, [&] { return isSecondPosted; });
        order.push_back(1);
    });
    std::thread poster([&] {
        worker.postJob([&] {
            std::lock_guard lock(mutex);
            order.push_back(2);
        });
        {
            std::lock_guard lock(mutex);
            isSecondPosted = true;
        }
        changed.notify_all();
        worker.postJob([&] {
            {
                std::lock_guard lock(mutex);
                order.push_back(3);
            }
            allDone.set_value();
        });
    });
    // A lost job must fail the test, not hang it.
    const auto finished = allDone.get_future().wait_for(1min);
    poster.join();
    ASSERT_EQ(finished, std::future_status::ready);
    EXPECT_FALSE(wasSecondPostedWhileFirstRan);
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

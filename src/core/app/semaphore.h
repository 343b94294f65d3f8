#pragma once
// A counting semaphore on a mutex and a condition variable. The standard one rests on atomic
// waits, which lose wake-ups in the MinGW runtime we ship with; this one behaves the same on
// every platform.

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace vendrel {

class Semaphore {
public:
    explicit Semaphore(std::size_t count, std::size_t maximum) : count_(count), maximum_(maximum) {}

    void acquire() {
        std::unique_lock lock(mutex_);
        available_.wait(lock, [this] { return count_ > 0; });
        --count_;
    }

    void release() {
        {
            std::lock_guard lock(mutex_);
            if (count_ < maximum_) {
                ++count_;
            }
        }
        available_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable available_;
    std::size_t count_;
    std::size_t maximum_;
};

} // namespace vendrel

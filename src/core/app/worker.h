#pragma once
// The worker thread: one posted job at a time (input and message boxes, downloads, move
// searches), so the connection thread can hand off work that waits for the player.

#include <functional>
#include <memory>

namespace vendrel {

using Job = std::function<void()>;

class Worker {
public:
    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts the thread; it runs until the process ends. A job may wait for the player for as
    // long as the player likes, so exit never waits for it.
    void start();

    // Connection thread. Blocks while the previous job still runs, then hands this one over.
    // Never call it from a job (it would wait for its own end) or from the GUI thread.
    void postJob(Job job);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace vendrel

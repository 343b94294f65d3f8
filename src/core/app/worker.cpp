#include "app/worker.h"

#include <thread>

#include "app/semaphore.h"

namespace vendrel {

struct Worker::Shared {
    Semaphore slotFree{1, 1};
    Semaphore jobReady{0, 1};
    Job slot;
};

Worker::Worker() : shared_(std::make_shared<Shared>()) {}

Worker::~Worker() = default;

void Worker::start() {
    // The thread keeps its own reference: it is detached and may outlive this object.
    std::thread([shared = shared_] {
        for (;;) {
            shared->jobReady.acquire();
            if (shared->slot) {
                try {
                    shared->slot();
                } catch (...) {
                    // A job that fails must not take the worker, and every later box, with it.
                }
            }
            shared->slot = nullptr;
            shared->slotFree.release();
        }
    }).detach();
}

void Worker::postJob(Job job) {
    shared_->slotFree.acquire();
    shared_->slot = std::move(job);
    shared_->jobReady.release();
}

} // namespace vendrel

#include "app/worker.h"

#include <semaphore>
#include <thread>

namespace vendrel {

struct Worker::Shared {
    std::binary_semaphore slotFree{1};
    std::binary_semaphore jobReady{0};
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

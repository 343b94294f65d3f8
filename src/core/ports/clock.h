#pragma once
// Time for the reconnection pauses, so tests run them without waiting.

#include <cstdint>

namespace vendrel {

class Clock {
public:
    virtual ~Clock() = default;
    // Any thread. Milliseconds on a steady clock.
    [[nodiscard]] virtual std::int64_t nowMs() = 0;
    // Any thread.
    virtual void sleepMs(std::int64_t milliseconds) = 0;
};

} // namespace vendrel

#pragma once

#include <vector>

#include "ports/clock.h"

namespace vendrel::testing {

// Time moves only when someone sleeps.
class FakeClock final : public Clock {
public:
    std::int64_t now = 1'000'000;
    std::vector<std::int64_t> sleeps;
    std::int64_t nowMs() override { return now; }
    void sleepMs(std::int64_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
    }
};

} // namespace vendrel::testing

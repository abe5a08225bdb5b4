// base::SteadyClock: the real millisecond tick counter and sleep, on std::chrono.
#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

#include "base/Clock.h"

namespace base {

// Monotonic: a change of the wall clock never shortens or stretches a wait. Wraps at 2^32 ms,
// as every limit is an unsigned difference from a start.
class SteadyClock : public base::Clock {
public:
    std::uint32_t getTickCount() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void sleep(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace base

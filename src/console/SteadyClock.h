// console::SteadyClock: the console's millisecond tick counter and sleep, on std::chrono.
#pragma once
#include <chrono>
#include <thread>

#include "fw/Clock.h"

namespace console {

// Monotonic: a change of the wall clock never shortens or stretches a wait. Wraps at 2^32 ms,
// as every limit is an unsigned difference from a start.
class SteadyClock : public fw::Clock {
public:
    DWORD getTickCount() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<DWORD>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void sleep(DWORD milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace console

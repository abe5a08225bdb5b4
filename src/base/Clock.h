// The clock: a millisecond tick counter that wraps at 2^32, and the one blocking sleep.
#pragma once
#include <cstdint>

namespace base {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some start; wraps at 2^32. Callers measure with unsigned differences.
    virtual std::uint32_t getTickCount() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

// Milliseconds from start to now, correct across a wrap of the counter.
inline std::uint32_t TicksSince(Clock& clock, std::uint32_t start) {
    return clock.getTickCount() - start;
}

} // namespace base

// The clock seam: the millisecond tick counter and the one blocking sleep.
#pragma once
#include "fw/WinTypes.h"

namespace fw {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some start; wraps at 2^32. Callers measure with unsigned differences.
    virtual DWORD getTickCount() = 0;
    virtual void sleep(DWORD milliseconds) = 0;
};

// Milliseconds from start to now, correct across a wrap of the counter.
inline DWORD TicksSince(Clock& clock, DWORD start) {
    return clock.getTickCount() - start;
}

} // namespace fw

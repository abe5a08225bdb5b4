// console::SteadyClock: the host's real millisecond tick counter for the update's busy waits.
#pragma once
#include "fw/Clock.h"

namespace console {

// Milliseconds of the monotonic clock, wrapping at 2^32 as the Windows counter does. Each read
// first yields the processor to any other runnable thread (the device on a pty, for one): the
// update's waits poll this counter in tight loops, and a yield keeps them exact while letting
// the other end of the line run.
class SteadyClock : public fw::Clock {
public:
    DWORD getTickCount() override;
    void sleep(DWORD milliseconds) override;
};

} // namespace console

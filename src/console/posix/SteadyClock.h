// console::SteadyClock: the host's real millisecond tick counter.
#pragma once
#include "fw/Clock.h"

namespace console {

// Milliseconds of the monotonic clock, wrapping at 2^32 as the Windows counter does.
class SteadyClock : public fw::Clock {
public:
    DWORD getTickCount() override;
    void sleep(DWORD milliseconds) override;
};

} // namespace console

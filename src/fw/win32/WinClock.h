// fw::win32::WinClock: the clock seam on the system's millisecond tick counter.
#pragma once
#include "fw/Clock.h"

namespace fw::win32 {

class WinClock : public Clock {
public:
    DWORD getTickCount() override;
    void sleep(DWORD milliseconds) override;
};

} // namespace fw::win32

// fw::win32::WinClock: the clock seam on the system's millisecond tick counter.
#pragma once
#include "base/Clock.h"

namespace fw::win32 {

class WinClock : public base::Clock {
public:
    std::uint32_t getTickCount() override;
    void sleep(std::uint32_t milliseconds) override;
};

} // namespace fw::win32

// Busy-polled waits on the serial port.
#include "update/PollingWaits.h"

namespace update {

WaitResult PollingWaits::waitForCharacter(serial::Line& line, std::uint32_t start,
                                          std::uint32_t limitMs, char* received) {
    *received = 0;
    while (base::TicksSince(m_clock, start) < limitMs) {
        char c = 0;
        const int count = line.read(&c, 1, 0); // never waits: the loop is the wait
        if (count == serial::Line::kReadFailed) {
            return WaitResult::kReadFailed;
        }
        if (count == 1) {
            *received = c;
            return WaitResult::kCharacter;
        }
    }
    return WaitResult::kTimedOut;
}

bool PollingWaits::pause(std::uint32_t milliseconds) {
    const std::uint32_t start = m_clock.getTickCount();
    while (base::TicksSince(m_clock, start) < milliseconds) {
    }
    return true;
}

} // namespace update

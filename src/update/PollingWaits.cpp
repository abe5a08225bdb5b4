// Busy-polled waits on the serial port.
#include "update/PollingWaits.h"

namespace update {

WaitResult PollingWaits::waitForCharacter(serial::Line& line, DWORD start, DWORD limitMs,
                                          char* received) {
    *received = 0;
    while (fw::TicksSince(m_clock, start) < limitMs) {
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

bool PollingWaits::pause(DWORD milliseconds) {
    const DWORD start = m_clock.getTickCount();
    while (fw::TicksSince(m_clock, start) < milliseconds) {
    }
    return true;
}

} // namespace update

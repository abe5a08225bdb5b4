// Busy-polled waits on the serial port.
#include "update/PollingWaits.h"

namespace update {

WaitResult PollingWaits::waitForCharacter(CSerialPort& port, DWORD start, DWORD limitMs,
                                          char* received) {
    *received = 0;
    while (fw::TicksSince(m_clock, start) < limitMs) {
        if (port.BytesWaiting() > 0) {
            char c = 0;
            if (port.Read(&c, 1) != 1) {
                return WaitResult::kReadFailed;
            }
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

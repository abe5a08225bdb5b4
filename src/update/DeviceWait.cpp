// Bounded character waits on the serial port.
#include "update/DeviceWait.h"

WaitResult WaitForCharacter(CSerialPort& port, fw::Clock& clock, DWORD limitMs, char* received) {
    const DWORD start = clock.getTickCount();
    *received = 0;
    while (fw::TicksSince(clock, start) < limitMs) {
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

void PauseFor(fw::Clock& clock, DWORD milliseconds) {
    const DWORD start = clock.getTickCount();
    while (fw::TicksSince(clock, start) < milliseconds) {
    }
}

// fw::win32::WinClock: GetTickCount and Sleep.
#include "fw/win32/WinClock.h"

namespace fw::win32 {

DWORD WinClock::getTickCount() {
    return ::GetTickCount();
}

void WinClock::sleep(DWORD milliseconds) {
    ::Sleep(milliseconds);
}

} // namespace fw::win32

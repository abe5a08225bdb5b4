// fw::win32::WinClock: GetTickCount and Sleep.
#include "fw/win32/WinClock.h"

#include <windows.h>

namespace fw::win32 {

std::uint32_t WinClock::getTickCount() {
    return ::GetTickCount();
}

void WinClock::sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

} // namespace fw::win32

// fw::win32::WinTopWindows: GetTopWindow, GetWindow, IsWindow, IsWindowVisible, GetWindowTextA
// and PostMessageA.
#include "fw/win32/WinTopWindows.h"

namespace fw::win32 {

HWND WinTopWindows::getTopWindow() {
    return ::GetTopWindow(nullptr);
}

HWND WinTopWindows::getNextWindow(HWND h) {
    return ::GetWindow(h, GW_HWNDNEXT);
}

BOOL WinTopWindows::isWindow(HWND h) {
    return ::IsWindow(h);
}

BOOL WinTopWindows::isWindowVisible(HWND h) {
    return ::IsWindowVisible(h);
}

int WinTopWindows::getWindowText(HWND h, char* buffer, int size) {
    return ::GetWindowTextA(h, buffer, size);
}

BOOL WinTopWindows::postMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(h, message, wParam, lParam);
}

} // namespace fw::win32

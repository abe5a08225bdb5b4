// fw::win32::WinTopWindows: the walk over the desktop's top-level windows and posting to them.
#pragma once
#include "fw/TopWindows.h"

namespace fw::win32 {

class WinTopWindows : public TopWindows {
public:
    HWND getTopWindow() override;
    HWND getNextWindow(HWND h) override;
    BOOL isWindow(HWND h) override;
    BOOL isWindowVisible(HWND h) override;
    int getWindowText(HWND h, char* buffer, int size) override;
    BOOL postMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace fw::win32

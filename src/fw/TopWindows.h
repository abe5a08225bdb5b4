// The top-level window seam: the walk over other programs' windows and posting them a message.
#pragma once
#include "fw/WinTypes.h"

namespace fw {

class TopWindows {
public:
    virtual ~TopWindows() = default;
    virtual HWND getTopWindow() = 0;
    virtual HWND getNextWindow(HWND h) = 0;
    virtual BOOL isWindow(HWND h) = 0;
    virtual BOOL isWindowVisible(HWND h) = 0;
    // Copies at most size - 1 characters of the title and a terminator; returns the length.
    virtual int getWindowText(HWND h, char* buffer, int size) = 0;
    virtual BOOL postMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

} // namespace fw

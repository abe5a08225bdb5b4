// The user-interface seam of the application object: wait cursor, message pump and screen metrics.
#pragma once
#include "fw/WinTypes.h"

namespace fw {

class Ui {
public:
    virtual ~Ui() = default;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // Retrieves one message from the thread's queue, waiting for it, and dispatches it.
    // FALSE when the queue has been told to quit.
    virtual bool pumpMessage() = 0;
    // GetSystemMetrics: screen size (SM_CXSCREEN, SM_CYSCREEN) and icon size (SM_CXICON,
    // SM_CYICON).
    virtual int getSystemMetrics(int index) = 0;
    // Vertical dots per inch of the screen.
    virtual int screenDpiY() = 0;
    // A modal message box with one OK button, owned by the given window (or by none);
    // returns the button pressed.
    virtual int messageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
    // An icon from the program's resources; shared, never destroyed.
    virtual HICON loadIcon(int resourceId) = 0;
};

} // namespace fw

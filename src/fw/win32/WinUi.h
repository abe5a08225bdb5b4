// fw::win32::WinUi: the wait cursor, the one-message pump, screen metrics, message boxes, icons.
#pragma once
#include "fw/Ui.h"
#include "fw/WinTypes.h"

namespace fw::win32 {

class WinUi : public Ui {
public:
    // The hourglass stays while at least one wait is open; the arrow comes back after the last.
    void beginWaitCursor() override;
    void endWaitCursor() override;
    // GetMessageA, then the active dialog's keyboard handling (IsDialogMessageA), else
    // TranslateMessage and DispatchMessageA. WM_QUIT is put back for the modal loop and ends
    // the pump with false.
    bool pumpMessage() override;
    int getSystemMetrics(int index) override;
    int screenDpiY() override;
    int messageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    HICON loadIcon(int resourceId) override;

private:
    int m_waitDepth = 0;
};

} // namespace fw::win32

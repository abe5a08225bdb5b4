// fw::win32::WinUi: SetCursor, GetMessageA/IsDialogMessageA/DispatchMessageA, GetSystemMetrics,
// GetDeviceCaps, MessageBoxA and LoadIconA.
#include "fw/win32/WinUi.h"

namespace fw::win32 {

void WinUi::beginWaitCursor() {
    ++m_waitDepth;
    ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void WinUi::endWaitCursor() {
    if (m_waitDepth > 0) {
        --m_waitDepth;
    }
    ::SetCursor(::LoadCursorA(nullptr, m_waitDepth > 0 ? IDC_WAIT : IDC_ARROW));
}

bool WinUi::pumpMessage() {
    MSG message;
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    if (got == -1) {
        return false;
    }
    HWND active = ::GetActiveWindow();
    if (active != nullptr && ::IsDialogMessageA(active, &message)) {
        return true;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    return true;
}

int WinUi::getSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

int WinUi::screenDpiY() {
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) {
        return 96;
    }
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

int WinUi::messageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(owner, text, caption, type);
}

HICON WinUi::loadIcon(int resourceId) {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
}

} // namespace fw::win32

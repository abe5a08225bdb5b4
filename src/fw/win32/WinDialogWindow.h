// fw::win32::WinDialogWindow: the Windows backend of one fw::Dialog, its real dialog window and
// dialog procedure.
#pragma once
#include "fw/Dialog.h"

namespace fw::win32 {

// Lives as long as its Dialog; holds a window handle only while the dialog is open.
class WinDialogWindow : public DialogBackend {
public:
    explicit WinDialogWindow(Dialog& dialog) : m_dialog(dialog) {}

    HWND Hwnd() const { return m_hwnd; }

    // The dialog procedure that DialogBoxParamA runs with the Dialog as its creation parameter.
    // It stores the Dialog on WM_INITDIALOG and forwards every later message to it; nothing it
    // calls may throw past it.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Asks the dialog manager to give the message being handled its default handling after the
    // handler returns. FALSE when no message of that kind is being handled.
    bool RequestDefaultHandling(UINT message);

    // The control whose WM_CTLCOLOR* message is being handled, else null.
    HWND ColorControl() const { return m_colorControl; }

    // The paint structure of BeginPaint ... EndPaint while a PaintDC is open.
    PAINTSTRUCT& PaintStruct() { return m_paint; }

    // Forgets the window (after WM_NCDESTROY, or when the dialog object goes first).
    void Detach();

private:
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    Dialog& m_dialog;
    HWND m_hwnd = nullptr;
    PAINTSTRUCT m_paint{};
    // The message being handled, its "let the dialog manager handle it too" flag and, for the
    // control colouring messages, the control. Saved and restored around nested messages.
    UINT m_currentMessage = 0;
    bool* m_defaultRequested = nullptr;
    HWND m_colorControl = nullptr;
};

// The Windows backend of a dialog; every dialog of the Windows build has one from its
// construction.
inline WinDialogWindow& WindowOf(const Dialog& dialog) {
    return *static_cast<WinDialogWindow*>(dialog.Backend());
}

} // namespace fw::win32

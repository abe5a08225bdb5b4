// Modal dialogs from templates: the framework's dialog class, its control operations and message
// map.
#pragma once
#include <memory>
#include <string>

#include "fw/DialogBackend.h"
#include "fw/MessageMap.h"
#include "fw/WinTypes.h"

namespace fw {

class Font;

// A painting device context opened on a dialog (BeginPaint ... EndPaint).
class PaintDC {
public:
    explicit PaintDC(Dialog& dialog);
    ~PaintDC();
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC GetSafeHdc() const { return m_hdc; }
    void DrawIcon(int x, int y, HICON icon);

private:
    Dialog& m_dialog;
    HDC m_hdc;
};

// The system menu of a dialog, when it has one. Does nothing once the dialog's window is gone.
class SystemMenu {
public:
    explicit SystemMenu(Dialog& dialog) : m_dialog(dialog) {}
    void AppendMenu(UINT flags, UINT id, const std::string& text);
    // MF_BYCOMMAND with MF_ENABLED or MF_GRAYED.
    void EnableMenuItem(UINT id, UINT flags);

private:
    Dialog& m_dialog;
};

class Dialog {
public:
    explicit Dialog(UINT templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the dialog from its template, runs it until EndDialog, destroys its window and
    // returns the end code; -1 when the dialog cannot be created.
    INT_PTR DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Message dispatch through the message maps, most derived first. FALSE when no entry handles
    // it.
    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* GetThisMessageMap();
    // A handler that ends with an exception is stopped there, at the window's boundary, and the
    // exception is handed to OnHandlerException; the message then counts as handled.
    BOOL DispatchMessageToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // What to do about a handler's exception: by default, tell the user in a message box. Nothing
    // it calls may throw past it. A handler may run a nested message loop (a message box, a pumped
    // message), so this can come while another handler of the same dialog still runs beneath; a
    // dialog may leave such an exception for that handler to act on.
    virtual void OnHandlerException(const std::string& what);

    UINT TemplateId() const { return m_templateId; }
    HWND GetSafeHwnd() const;
    // The backend's side of this dialog; null before the backend has made it (on the host, before
    // the dialog first opens). Each backend reaches its own kind through its own accessor.
    DialogBackend* Backend() const { return m_backend.get(); }

    // The window and its controls.
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void EnableDlgItem(int id, BOOL enable);
    BOOL IsDlgItemEnabled(int id) const;
    void ShowDlgItem(int id, int showCommand);
    BOOL IsDlgItemVisible(int id) const;
    HWND GetDlgItem(int id) const;
    int ControlIdOf(HWND control) const;
    void CheckRadioButton(int firstId, int lastId, int checkId);
    // The id of the first checked button from firstId up to lastId, 0 when none is checked.
    int GetCheckedRadioButton(int firstId, int lastId) const;
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // A modal message box owned by this dialog; returns the button pressed.
    int MessageBox(const std::string& text, const std::string& caption, UINT type);

    // Null when the window has no system menu.
    SystemMenu* GetSystemMenu();
    void SetIcon(HICON icon, BOOL big);
    void GetWindowRect(RECT* rect) const;
    void GetClientRect(RECT* rect) const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint);
    BOOL IsIconic() const;
    void InvalidateRect(BOOL erase);
    void UpdateWindow();

    // Colouring of a control during WM_CTLCOLOR handling.
    HBRUSH DefaultCtlColor(HDC dc, int controlId, UINT kind);
    static void SelectFont(HDC dc, Font& font);
    static void SetTextColor(HDC dc, COLORREF color);
    static void SetBkMode(HDC dc, int mode);

    // Default handling of messages the map leaves to the framework.
    void DefaultSysCommand(UINT id, LPARAM lParam);
    void DefaultPaint();
    void DefaultDestroy();

private:
    UINT m_templateId;
    std::unique_ptr<DialogBackend> m_backend;
    std::unique_ptr<SystemMenu> m_systemMenu;
};

// A font created on the screen from a point size in tenths, a weight and a face name.
class Font {
public:
    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    // Height in tenths of a point; the character height becomes -(dpi * tenths / 720) pixels.
    BOOL CreatePointFontIndirect(int heightTenths, int weight, const std::string& faceName);
    bool HasFont() const { return m_handle != nullptr; }
    HFONT Handle() const { return m_handle; }
    int PixelHeight() const { return m_pixelHeight; }
    int Weight() const { return m_weight; }
    const std::string& FaceName() const { return m_faceName; }

private:
    HFONT m_handle = nullptr;
    int m_pixelHeight = 0;
    int m_weight = 0;
    std::string m_faceName;
};

} // namespace fw

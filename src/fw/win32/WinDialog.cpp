// fw::Dialog, PaintDC, SystemMenu and Font on Windows: modal dialogs from the program's resources.
#include <cstring>

#include "fw/App.h"
#include "fw/Dialog.h"
#include "fw/win32/WinDialogWindow.h"

namespace fw {

using win32::WinDialogWindow;
using win32::WindowOf;

namespace {

// Messages whose result the dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
           message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

bool IsControlColorMessage(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

std::string TextOf(HWND window) {
    if (window == nullptr) {
        return std::string();
    }
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// After a replacement of several lines in a rich edit field that marks web addresses, has every
// address of the whole text marked. Windows' rich edit marks them throughout the inserted text by
// itself; Wine's looks only at the paragraphs around the caret, so an address in the middle of a
// block stays plain there. Setting the field's own text again makes either mark the whole text;
// the text, its character positions and the selection stay as they were.
void MarkLinksOfWholeText(HWND field, const char* inserted) {
    if (field == nullptr || inserted == nullptr || std::strpbrk(inserted, "\r\n") == nullptr) {
        return;
    }
    char className[32] = {};
    ::GetClassNameA(field, className, sizeof(className));
    if (std::strncmp(className, "RichEdit20", 10) != 0 ||
        ::SendMessageA(field, EM_GETAUTOURLDETECT, 0, 0) == 0) {
        return;
    }
    const LRESULT length = ::SendMessageA(field, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) {
        return;
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        ::SendMessageA(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    CHARRANGE selection{0, 0};
    ::SendMessageA(field, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::SendMessageA(field, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
}

void ClearRect(RECT* rect) {
    if (rect != nullptr) {
        rect->left = rect->top = rect->right = rect->bottom = 0;
    }
}

} // namespace

// ---- WinDialogWindow -------------------------------------------------------------------------

namespace win32 {

INT_PTR CALLBACK WinDialogWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            Dialog* dialog = reinterpret_cast<Dialog*>(lParam);
            if (dialog == nullptr) {
                return TRUE;
            }
            ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
            WindowOf(*dialog).m_hwnd = hwnd;
            return WindowOf(*dialog).Handle(message, wParam, lParam);
        }
        Dialog* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
        if (dialog == nullptr) {
            return FALSE; // messages before WM_INITDIALOG (WM_SETFONT) and after the detach
        }
        const INT_PTR result = WindowOf(*dialog).Handle(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            // The window is gone: the framework forgets it, also as the main window.
            App* app = App::Current();
            if (app != nullptr && app->m_pMainWnd == dialog) {
                app->m_pMainWnd = nullptr;
            }
            WindowOf(*dialog).Detach();
        }
        return result;
    } catch (...) {
        // A window procedure runs inside the system's code: nothing may unwind through it.
        ::OutputDebugStringA("KeystrandUpdate: a dialog handler ended with an exception\n");
        return FALSE;
    }
}

INT_PTR WinDialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return m_dialog.OnInitDialog();
    }

    // Restores the state of an outer message when a handler lets messages through (a message
    // box, the one-message pump of an update) and this window gets another message meanwhile.
    struct Scope {
        WinDialogWindow& window;
        UINT message;
        bool* defaultRequested;
        HWND colorControl;
        ~Scope() {
            window.m_currentMessage = message;
            window.m_defaultRequested = defaultRequested;
            window.m_colorControl = colorControl;
        }
    } scope{*this, m_currentMessage, m_defaultRequested, m_colorControl};

    bool defaultRequested = false;
    m_currentMessage = message;
    m_defaultRequested = &defaultRequested;
    m_colorControl = IsControlColorMessage(message) ? reinterpret_cast<HWND>(lParam) : nullptr;

    LRESULT result = 0;
    const BOOL handled = m_dialog.DispatchMessageToMap(message, wParam, lParam, &result);
    if (!handled || defaultRequested) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    if (m_hwnd != nullptr) {
        ::SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
    }
    return TRUE;
}

bool WinDialogWindow::RequestDefaultHandling(UINT message) {
    if (m_defaultRequested == nullptr || m_currentMessage != message) {
        return false;
    }
    *m_defaultRequested = true;
    return true;
}

void WinDialogWindow::Detach() {
    if (m_hwnd != nullptr && ::IsWindow(m_hwnd)) {
        ::SetWindowLongPtrA(m_hwnd, DWLP_USER, 0);
    }
    m_hwnd = nullptr;
}

} // namespace win32

// ---- PaintDC ---------------------------------------------------------------------------------

PaintDC::PaintDC(Dialog& dialog) : m_dialog(dialog), m_hdc(nullptr) {
    WinDialogWindow& window = WindowOf(dialog);
    if (window.Hwnd() != nullptr) {
        m_hdc = ::BeginPaint(window.Hwnd(), &window.PaintStruct());
    }
}

PaintDC::~PaintDC() {
    WinDialogWindow& window = WindowOf(m_dialog);
    if (m_hdc != nullptr && window.Hwnd() != nullptr) {
        ::EndPaint(window.Hwnd(), &window.PaintStruct());
    }
}

void PaintDC::DrawIcon(int x, int y, HICON icon) {
    if (m_hdc != nullptr) {
        ::DrawIcon(m_hdc, x, y, icon);
    }
}

// ---- SystemMenu ------------------------------------------------------------------------------

void SystemMenu::AppendMenu(UINT flags, UINT id, const std::string& text) {
    HWND hwnd = m_dialog.GetSafeHwnd();
    HMENU menu = hwnd != nullptr ? ::GetSystemMenu(hwnd, FALSE) : nullptr;
    if (menu != nullptr) {
        ::AppendMenuA(menu, flags, id, (flags & MF_SEPARATOR) != 0 ? nullptr : text.c_str());
    }
}

void SystemMenu::EnableMenuItem(UINT id, UINT flags) {
    HWND hwnd = m_dialog.GetSafeHwnd();
    HMENU menu = hwnd != nullptr ? ::GetSystemMenu(hwnd, FALSE) : nullptr;
    if (menu != nullptr) {
        ::EnableMenuItem(menu, id, flags);
    }
}

// ---- Dialog ----------------------------------------------------------------------------------

Dialog::Dialog(UINT templateId)
    : m_templateId(templateId), m_backend(std::make_unique<WinDialogWindow>(*this)) {}

Dialog::~Dialog() {
    m_systemMenu.reset();
    WindowOf(*this).Detach();
}

INT_PTR Dialog::DoModal() {
    HWND owner = nullptr;
    App* app = App::Current();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != this) {
        owner = app->m_pMainWnd->GetSafeHwnd();
    }
    const INT_PTR result =
        ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                          &WinDialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    m_systemMenu.reset();
    WindowOf(*this).Detach();
    return result;
}

void Dialog::EndDialog(int result) {
    if (GetSafeHwnd() != nullptr) {
        ::EndDialog(GetSafeHwnd(), result);
    }
}

HWND Dialog::GetSafeHwnd() const {
    return WindowOf(*this).Hwnd();
}

void Dialog::SetWindowText(const std::string& text) {
    if (GetSafeHwnd() != nullptr) {
        ::SetWindowTextA(GetSafeHwnd(), text.c_str());
    }
}

std::string Dialog::GetWindowText() const {
    return TextOf(GetSafeHwnd());
}

void Dialog::SetDlgItemText(int id, const std::string& text) {
    if (GetSafeHwnd() != nullptr) {
        ::SetDlgItemTextA(GetSafeHwnd(), id, text.c_str());
    }
}

std::string Dialog::GetDlgItemText(int id) const {
    return TextOf(GetDlgItem(id));
}

void Dialog::EnableDlgItem(int id, BOOL enable) {
    HWND control = GetDlgItem(id);
    if (control != nullptr) {
        ::EnableWindow(control, enable);
    }
}

BOOL Dialog::IsDlgItemEnabled(int id) const {
    HWND control = GetDlgItem(id);
    return control != nullptr && ::IsWindowEnabled(control) ? TRUE : FALSE;
}

void Dialog::ShowDlgItem(int id, int showCommand) {
    HWND control = GetDlgItem(id);
    if (control != nullptr) {
        ::ShowWindow(control, showCommand);
    }
}

// The control's own visibility style: the whole dialog is still hidden while it initialises.
BOOL Dialog::IsDlgItemVisible(int id) const {
    HWND control = GetDlgItem(id);
    return control != nullptr && (::GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0 ? TRUE
                                                                                          : FALSE;
}

HWND Dialog::GetDlgItem(int id) const {
    return GetSafeHwnd() != nullptr ? ::GetDlgItem(GetSafeHwnd(), id) : nullptr;
}

int Dialog::ControlIdOf(HWND control) const {
    return control != nullptr ? ::GetDlgCtrlID(control) : 0;
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    if (GetSafeHwnd() != nullptr) {
        ::CheckRadioButton(GetSafeHwnd(), firstId, lastId, checkId);
    }
}

int Dialog::GetCheckedRadioButton(int firstId, int lastId) const {
    if (GetSafeHwnd() == nullptr) {
        return 0;
    }
    for (int id = firstId; id <= lastId; ++id) {
        if (::IsDlgButtonChecked(GetSafeHwnd(), id) == BST_CHECKED) {
            return id;
        }
    }
    return 0;
}

LRESULT Dialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    if (GetSafeHwnd() == nullptr) {
        return 0;
    }
    const LRESULT result = ::SendDlgItemMessageA(GetSafeHwnd(), id, message, wParam, lParam);
    if (message == EM_REPLACESEL) {
        MarkLinksOfWholeText(::GetDlgItem(GetSafeHwnd(), id),
                             reinterpret_cast<const char*>(lParam));
    }
    return result;
}

LRESULT Dialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return GetSafeHwnd() != nullptr ? ::SendMessageA(GetSafeHwnd(), message, wParam, lParam) : 0;
}

BOOL Dialog::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return GetSafeHwnd() != nullptr ? ::PostMessageA(GetSafeHwnd(), message, wParam, lParam)
                                    : FALSE;
}

int Dialog::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    return ::MessageBoxA(GetSafeHwnd(), text.c_str(), caption.c_str(), type);
}

SystemMenu* Dialog::GetSystemMenu() {
    if (GetSafeHwnd() == nullptr || ::GetSystemMenu(GetSafeHwnd(), FALSE) == nullptr) {
        return nullptr;
    }
    if (!m_systemMenu) {
        m_systemMenu = std::make_unique<SystemMenu>(*this);
    }
    return m_systemMenu.get();
}

void Dialog::SetIcon(HICON icon, BOOL big) {
    SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void Dialog::GetWindowRect(RECT* rect) const {
    if (GetSafeHwnd() == nullptr || !::GetWindowRect(GetSafeHwnd(), rect)) {
        ClearRect(rect);
    }
}

void Dialog::GetClientRect(RECT* rect) const {
    if (GetSafeHwnd() == nullptr || !::GetClientRect(GetSafeHwnd(), rect)) {
        ClearRect(rect);
    }
}

void Dialog::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (GetSafeHwnd() != nullptr) {
        ::MoveWindow(GetSafeHwnd(), x, y, width, height, repaint);
    }
}

BOOL Dialog::IsIconic() const {
    return GetSafeHwnd() != nullptr && ::IsIconic(GetSafeHwnd()) ? TRUE : FALSE;
}

void Dialog::InvalidateRect(BOOL erase) {
    if (GetSafeHwnd() != nullptr) {
        ::InvalidateRect(GetSafeHwnd(), nullptr, erase);
    }
}

void Dialog::UpdateWindow() {
    if (GetSafeHwnd() != nullptr) {
        ::UpdateWindow(GetSafeHwnd());
    }
}

// The dialog's normal look: window text colour on the 3-D face colour, with its brush.
HBRUSH Dialog::DefaultCtlColor(HDC dc, int controlId, UINT kind) {
    HWND hwnd = GetSafeHwnd();
    if (hwnd != nullptr && IsControlColorMessage(kind)) {
        HWND control = WindowOf(*this).ColorControl();
        if (control == nullptr) {
            control = ::GetDlgItem(hwnd, controlId);
        }
        return reinterpret_cast<HBRUSH>(::DefWindowProcA(hwnd, kind, reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(control)));
    }
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
    return ::GetSysColorBrush(COLOR_3DFACE);
}

// Inside a WM_CTLCOLOR* message the font goes into the control's device context, where the
// control draws with it. Some static controls (Wine's) select their own font only after asking for
// the colours, which would undo that; so the control that owns the device context is also given
// the font, without a redraw, and draws with it in this paint and every later one.
void Dialog::SelectFont(HDC dc, Font& font) {
    if (font.Handle() == nullptr) {
        return;
    }
    ::SelectObject(dc, font.Handle());
    HWND control = ::WindowFromDC(dc);
    if (control != nullptr && (::GetWindowLongA(control, GWL_STYLE) & WS_CHILD) != 0 &&
        reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)) != font.Handle()) {
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Handle()), FALSE);
    }
}

void Dialog::SetTextColor(HDC dc, COLORREF color) {
    ::SetTextColor(dc, color);
}

void Dialog::SetBkMode(HDC dc, int mode) {
    ::SetBkMode(dc, mode);
}

void Dialog::DefaultSysCommand(UINT id, LPARAM lParam) {
    if (GetSafeHwnd() != nullptr) {
        ::DefWindowProcA(GetSafeHwnd(), WM_SYSCOMMAND, id, lParam);
    }
}

// Inside WM_PAINT the dialog manager paints once the handler returns; elsewhere it is told to
// paint now.
void Dialog::DefaultPaint() {
    if (GetSafeHwnd() != nullptr && !WindowOf(*this).RequestDefaultHandling(WM_PAINT)) {
        ::DefWindowProcA(GetSafeHwnd(), WM_PAINT, 0, 0);
    }
}

// The window manager's own WM_DESTROY handling does nothing a dialog needs; it runs after the
// handler when asked inside WM_DESTROY.
void Dialog::DefaultDestroy() {
    if (GetSafeHwnd() != nullptr) {
        WindowOf(*this).RequestDefaultHandling(WM_DESTROY);
    }
}

// ---- Font ------------------------------------------------------------------------------------

Font::Font() = default;

Font::~Font() {
    if (m_handle != nullptr) {
        ::DeleteObject(m_handle);
    }
}

BOOL Font::CreatePointFontIndirect(int heightTenths, int weight, const std::string& faceName) {
    int dpi = 96;
    HDC screen = ::GetDC(nullptr);
    if (screen != nullptr) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    // Tenths of a point to a character height in pixels, negative: a height without the
    // internal leading.
    int pixels = (dpi * heightTenths) / 720;
    if (pixels < 0) {
        pixels = -pixels;
    }
    LOGFONTA logFont;
    std::memset(&logFont, 0, sizeof(logFont));
    logFont.lfHeight = -pixels;
    logFont.lfWeight = weight;
    std::strncpy(logFont.lfFaceName, faceName.c_str(), LF_FACESIZE - 1);

    HFONT font = ::CreateFontIndirectA(&logFont);
    if (font == nullptr) {
        return FALSE;
    }
    if (m_handle != nullptr) {
        ::DeleteObject(m_handle);
    }
    m_handle = font;
    m_pixelHeight = -pixels;
    m_weight = weight;
    m_faceName = logFont.lfFaceName;
    return TRUE;
}

} // namespace fw

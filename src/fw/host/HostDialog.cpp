// The host backend of dialogs: the control model, the dialog manager's own handling, the modal
// run and the drawing calls, recorded so that tests can see what the program did.
#include "fw/host/HostDialog.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "fw/App.h"
#include "fw/host/HostUi.h"

namespace fw {

namespace host {

bool ControlModel::IsRadio() const {
    return className == "Button" && (style & 0x0F) == static_cast<DWORD>(BS_AUTORADIOBUTTON);
}

bool ControlModel::IsPushButton() const {
    const DWORD kind = style & 0x0F;
    return className == "Button" && (kind == static_cast<DWORD>(BS_PUSHBUTTON) ||
                                     kind == static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

} // namespace host

namespace {

// Dialog units of "MS Shell Dlg" 8 points at 96 dots per inch, and the classic frame.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 25;
constexpr int kMaxQueuedMessagesPerModalRun = 100000;

host::HostUi& RequireUi() {
    host::HostUi* ui = host::CurrentHostUi();
    // The host backend cannot run without its UI; a test that forgot it fails loudly here.
    if (ui == nullptr) {
        std::abort();
    }
    return *ui;
}

host::DrawState* StateOf(HDC dc) {
    return reinterpret_cast<host::DrawState*>(dc);
}

} // namespace

DialogWindow::DialogWindow(Dialog& dialog, const DialogTemplate& dialogTemplate, host::HostUi& ui)
    : m_dialog(dialog), m_template(dialogTemplate), m_ui(ui), m_hwnd(ui.newHandle()) {
    caption = dialogTemplate.caption;
    const int width = dialogTemplate.width * kBaseUnitX / 4 + kFrameWidth;
    const int height = dialogTemplate.height * kBaseUnitY / 8 + kFrameHeight;
    windowRect = RECT{0, 0, width, height};
    visible = (dialogTemplate.style & WS_VISIBLE) != 0;
    hasSystemMenu = (dialogTemplate.style & WS_SYSMENU) != 0;
    if (hasSystemMenu) {
        systemMenu = {{0xF120, "&Restore", false, false},
                      {SC_MOVE, "&Move", false, true},
                      {0xF020, "Mi&nimize", false, true},
                      {0, "", true, true},
                      {SC_CLOSE, "&Close\tAlt+F4", false, true}};
    }
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const ControlTemplate& t = dialogTemplate.controls[i];
        host::ControlModel c;
        c.id = t.id;
        c.className = t.className;
        c.text = t.text != nullptr ? t.text : "";
        c.iconId = t.iconId;
        c.style = t.style;
        c.exStyle = t.exStyle;
        c.dialogUnits = RECT{t.x, t.y, t.x + t.width, t.y + t.height};
        c.hwnd = ui.newHandle();
        c.enabled = (t.style & WS_DISABLED) == 0;
        c.visible = (t.style & WS_VISIBLE) != 0;
        m_controls.push_back(c);
    }
    m_ui.registerWindow(m_hwnd, this);
}

DialogWindow::~DialogWindow() {
    m_ui.unregisterWindow(m_hwnd);
}

host::ControlModel* DialogWindow::find(int id) {
    for (auto& c : m_controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

const host::ControlModel* DialogWindow::find(int id) const {
    return const_cast<DialogWindow*>(this)->find(id);
}

host::ControlModel* DialogWindow::findByHandle(HWND hwnd) {
    for (auto& c : m_controls) {
        if (c.hwnd == hwnd) {
            return &c;
        }
    }
    return nullptr;
}

LRESULT DialogWindow::send(UINT message, WPARAM wParam, LPARAM lParam) {
    if (destroyed) {
        return 0;
    }
    LRESULT result = 0;
    if (m_dialog.DispatchMessageToMap(message, wParam, lParam, &result)) {
        return result;
    }
    switch (message) {
    case WM_SYSCOMMAND:
        m_dialog.DefaultSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_PAINT:
        m_dialog.DefaultPaint();
        return 0;
    case WM_ICONERASEBKGND:
        iconErases++;
        return 1;
    case WM_NEXTDLGCTL:
        if (lParam != 0) {
            if (host::ControlModel* c = findByHandle(reinterpret_cast<HWND>(wParam))) {
                focusId = c->id;
            }
        }
        return 0;
    case WM_QUERYDRAGICON:
        return 0;
    default:
        return 0;
    }
}

void DialogWindow::click(int id) {
    host::ControlModel* c = find(id);
    if (c == nullptr || !c->enabled || !c->visible) {
        return;
    }
    if (c->IsRadio()) {
        // An automatic radio button checks itself and unchecks the rest of its group.
        auto it = std::find_if(m_controls.begin(), m_controls.end(),
                               [&](const host::ControlModel& m) { return m.id == id; });
        auto first = it;
        while (first != m_controls.begin() && (first->style & WS_GROUP) == 0 &&
               (first - 1)->IsRadio()) {
            --first;
        }
        for (auto g = first;
             g != m_controls.end() && g->IsRadio() && (g == first || (g->style & WS_GROUP) == 0);
             ++g) {
            g->checked = false;
        }
        c->checked = true;
    }
    focusId = id;
    send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c->hwnd));
}

void DialogWindow::pressEscape() {
    send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void DialogWindow::pressEnter() {
    // Enter on a push button clicks it; elsewhere it is the dialog's OK command.
    if (host::ControlModel* c = find(focusId); c != nullptr && c->IsPushButton()) {
        click(c->id);
        return;
    }
    send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void DialogWindow::systemCommand(UINT id) {
    send(WM_SYSCOMMAND, id, 0);
}

void DialogWindow::focusControl(int id) {
    host::ControlModel* c = find(id);
    if (c == nullptr) {
        return;
    }
    focusId = id;
    if (c->IsRichEdit() || c->className == "Edit") {
        send(WM_COMMAND, MAKEWPARAM(id, EN_SETFOCUS), reinterpret_cast<LPARAM>(c->hwnd));
    }
}

LRESULT DialogWindow::linkEvent(int id, UINT mouseMessage, CHARRANGE range) {
    host::ControlModel* c = find(id);
    if (c == nullptr || (c->eventMask & ENM_LINK) == 0) {
        return 0;
    }
    ENLINK link{};
    link.nmhdr.hwndFrom = c->hwnd;
    link.nmhdr.idFrom = static_cast<UINT_PTR>(id);
    link.nmhdr.code = EN_LINK;
    link.msg = mouseMessage;
    link.chrg = range;
    return send(WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&link));
}

std::vector<CHARRANGE> DialogWindow::linkRanges(int id) const {
    std::vector<CHARRANGE> ranges;
    const host::ControlModel* c = find(id);
    if (c == nullptr || !c->autoUrlDetect) {
        return ranges;
    }
    // The control marks words that begin with a scheme or with "www.".
    const std::string& t = c->text;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) {
            ++i;
        }
        std::size_t end = i;
        while (end < t.size() && !std::isspace(static_cast<unsigned char>(t[end]))) {
            ++end;
        }
        const std::string word = t.substr(i, end - i);
        if (word.rfind("www.", 0) == 0 || word.rfind("http://", 0) == 0 ||
            word.rfind("https://", 0) == 0) {
            ranges.push_back(CHARRANGE{static_cast<LONG>(i), static_cast<LONG>(end)});
        }
        i = end;
    }
    return ranges;
}

void DialogWindow::paint() {
    paints++;
    for (auto& c : m_controls) {
        if (c.className != "Static" || !c.visible) {
            continue;
        }
        c.draw = host::DrawState{};
        send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(&c.draw),
             reinterpret_cast<LPARAM>(c.hwnd));
    }
}

LRESULT DialogWindow::controlMessage(host::ControlModel& c, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT:
        c.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        return TRUE;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(c.text.size());
    case EM_AUTOURLDETECT:
        c.autoUrlDetect = wParam != 0;
        return 0;
    case EM_GETEVENTMASK:
        return static_cast<LRESULT>(c.eventMask);
    case EM_SETEVENTMASK: {
        const DWORD old = c.eventMask;
        c.eventMask = static_cast<DWORD>(lParam);
        return static_cast<LRESULT>(old);
    }
    case EM_EXSETSEL: {
        const auto* range = reinterpret_cast<const CHARRANGE*>(lParam);
        const LONG length = static_cast<LONG>(c.text.size());
        c.selection.cpMin = std::min(std::max<LONG>(range->cpMin, 0), length);
        c.selection.cpMax = std::min(std::max<LONG>(range->cpMax, 0), length);
        return c.selection.cpMax;
    }
    case EM_REPLACESEL: {
        const char* text = reinterpret_cast<const char*>(lParam);
        const std::size_t from =
            static_cast<std::size_t>(std::min(c.selection.cpMin, c.selection.cpMax));
        const std::size_t to =
            static_cast<std::size_t>(std::max(c.selection.cpMin, c.selection.cpMax));
        c.text.replace(from, to - from, text != nullptr ? text : "");
        const LONG caret = static_cast<LONG>(from + (text != nullptr ? std::strlen(text) : 0));
        c.selection = CHARRANGE{caret, caret};
        return 0;
    }
    case EM_GETTEXTRANGE: {
        auto* range = reinterpret_cast<TEXTRANGEA*>(lParam);
        const LONG length = static_cast<LONG>(c.text.size());
        const LONG from = std::min(std::max<LONG>(range->chrg.cpMin, 0), length);
        const LONG to = range->chrg.cpMax < 0 ? length : std::min(range->chrg.cpMax, length);
        const LONG count = std::max<LONG>(to - from, 0);
        std::memcpy(range->lpstrText, c.text.data() + from, static_cast<std::size_t>(count));
        range->lpstrText[count] = '\0';
        return count;
    }
    default:
        return 0;
    }
}

// ---- fw::Dialog on the host ----

Dialog::Dialog(UINT templateId) : m_templateId(templateId) {}

Dialog::~Dialog() = default;

INT_PTR Dialog::DoModal() {
    host::HostUi& ui = RequireUi();
    const DialogTemplate* t = ui.dialogTemplates().find(m_templateId);
    if (t == nullptr) {
        return -1;
    }
    m_systemMenu.reset();
    m_window = std::make_unique<DialogWindow>(*this, *t, ui);
    m_window->visible = false;
    OnInitDialog();
    m_window->visible = true;
    m_window->paint();
    if (ui.onModal) {
        ui.onModal(*this);
    } else {
        for (int i = 0;
             i < kMaxQueuedMessagesPerModalRun && !m_window->ended && !ui.queue().empty(); ++i) {
            ui.pumpMessage();
        }
    }
    if (!m_window->ended) {
        m_window->pressEscape();
    }
    if (!m_window->ended) {
        // Nothing the user does ends it: close the window the hard way rather than hang.
        m_window->ended = true;
        m_window->endCode = -1;
    }
    m_window->send(WM_DESTROY, 0, 0);
    m_window->destroyed = true;
    m_window->visible = false;
    ui.unregisterWindow(m_window->hwnd());
    App* app = App::Current();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
    return m_window->endCode;
}

void Dialog::EndDialog(int result) {
    if (m_window != nullptr) {
        m_window->ended = true;
        m_window->endCode = result;
    }
}

BOOL Dialog::OnInitDialog() {
    return TRUE;
}
void Dialog::OnOK() {
    EndDialog(IDOK);
}
void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

HWND Dialog::GetSafeHwnd() const {
    return m_window != nullptr ? m_window->hwnd() : nullptr;
}

void Dialog::SetWindowText(const std::string& text) {
    if (m_window != nullptr) {
        m_window->caption = text;
    }
}

std::string Dialog::GetWindowText() const {
    return m_window != nullptr ? m_window->caption : "";
}

void Dialog::SetDlgItemText(int id, const std::string& text) {
    if (host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr) {
        c->text = text;
        if (m_window->ui().onItemText) {
            m_window->ui().onItemText(m_window->hwnd(), id, text);
        }
    }
}

std::string Dialog::GetDlgItemText(int id) const {
    const host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr;
    return c != nullptr ? c->text : "";
}

void Dialog::EnableDlgItem(int id, BOOL enable) {
    if (host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr) {
        c->enabled = enable != FALSE;
    }
}

BOOL Dialog::IsDlgItemEnabled(int id) const {
    const host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr;
    return c != nullptr && c->enabled ? TRUE : FALSE;
}

void Dialog::ShowDlgItem(int id, int showCommand) {
    if (host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr) {
        c->visible = showCommand != SW_HIDE;
    }
}

BOOL Dialog::IsDlgItemVisible(int id) const {
    const host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr;
    return c != nullptr && c->visible ? TRUE : FALSE;
}

HWND Dialog::GetDlgItem(int id) const {
    const host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr;
    return c != nullptr ? c->hwnd : nullptr;
}

int Dialog::ControlIdOf(HWND control) const {
    const host::ControlModel* c = m_window != nullptr ? m_window->findByHandle(control) : nullptr;
    return c != nullptr ? c->id : 0;
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    if (m_window == nullptr) {
        return;
    }
    for (auto& c : m_window->controls()) {
        if (c.id >= firstId && c.id <= lastId) {
            c.checked = c.id == checkId;
        }
    }
}

int Dialog::GetCheckedRadioButton(int firstId, int lastId) const {
    if (m_window == nullptr) {
        return 0;
    }
    for (int id = firstId; id <= lastId; ++id) {
        const host::ControlModel* c = m_window->find(id);
        if (c != nullptr && c->checked) {
            return id;
        }
    }
    return 0;
}

LRESULT Dialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    host::ControlModel* c = m_window != nullptr ? m_window->find(id) : nullptr;
    return c != nullptr ? m_window->controlMessageFor(*c, message, wParam, lParam) : 0;
}

LRESULT Dialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_window != nullptr ? m_window->send(message, wParam, lParam) : 0;
}

BOOL Dialog::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_window == nullptr) {
        return FALSE;
    }
    m_window->ui().post(m_window->hwnd(), message, wParam, lParam);
    return TRUE;
}

int Dialog::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    return RequireUi().messageBox(GetSafeHwnd(), text.c_str(), caption.c_str(), type);
}

SystemMenu* Dialog::GetSystemMenu() {
    if (m_window == nullptr || !m_window->hasSystemMenu) {
        return nullptr;
    }
    if (m_systemMenu == nullptr) {
        m_systemMenu = std::make_unique<SystemMenu>(*m_window);
    }
    return m_systemMenu.get();
}

void Dialog::SetIcon(HICON icon, BOOL big) {
    if (m_window != nullptr && big) {
        m_window->bigIcon = icon;
    }
}

void Dialog::GetWindowRect(RECT* rect) const {
    *rect = m_window != nullptr ? m_window->windowRect : RECT{0, 0, 0, 0};
}

void Dialog::GetClientRect(RECT* rect) const {
    if (m_window == nullptr) {
        *rect = RECT{0, 0, 0, 0};
        return;
    }
    const RECT& w = m_window->windowRect;
    if (m_window->iconic) {
        *rect = RECT{0, 0, 36, 36};
        return;
    }
    *rect = RECT{0, 0, w.right - w.left - kFrameWidth, w.bottom - w.top - kFrameHeight};
}

void Dialog::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (m_window == nullptr) {
        return;
    }
    m_window->windowRect = RECT{x, y, x + width, y + height};
    if (repaint) {
        m_window->paint();
    }
}

BOOL Dialog::IsIconic() const {
    return m_window != nullptr && m_window->iconic ? TRUE : FALSE;
}

void Dialog::InvalidateRect(BOOL) {
    if (m_window != nullptr) {
        m_window->invalidations++;
    }
}

void Dialog::UpdateWindow() {
    if (m_window != nullptr) {
        m_window->updates++;
        m_window->paint();
    }
}

HBRUSH Dialog::DefaultCtlColor(HDC, int, UINT) {
    return reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(0xB000));
}

void Dialog::SelectFont(HDC dc, Font& font) {
    StateOf(dc)->font = font.Handle();
}

void Dialog::SetTextColor(HDC dc, COLORREF color) {
    StateOf(dc)->textColorSet = true;
    StateOf(dc)->textColor = color;
}

void Dialog::SetBkMode(HDC dc, int mode) {
    StateOf(dc)->bkMode = mode;
}

void Dialog::DefaultSysCommand(UINT id, LPARAM) {
    if (m_window == nullptr) {
        return;
    }
    switch (id & 0xFFF0) {
    case SC_CLOSE:
        // The dialog manager turns the close command into the Cancel command.
        m_window->send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    case 0xF020: // SC_MINIMIZE
        m_window->iconic = true;
        break;
    case 0xF120: // SC_RESTORE
        m_window->iconic = false;
        break;
    default:
        break;
    }
}

void Dialog::DefaultPaint() {
    if (m_window != nullptr) {
        m_window->paint();
    }
}

void Dialog::DefaultDestroy() {}

// ---- painting, menus and fonts ----

PaintDC::PaintDC(Dialog& dialog)
    : m_dialog(dialog), m_hdc(reinterpret_cast<HDC>(new host::DrawState())) {}

PaintDC::~PaintDC() {
    delete StateOf(m_hdc);
}

void PaintDC::DrawIcon(int x, int y, HICON icon) {
    if (DialogWindow* w = m_dialog.Window()) {
        if (icon != nullptr) {
            w->iconPaints++;
            w->lastIconX = x;
            w->lastIconY = y;
        }
    }
}

void SystemMenu::AppendMenu(UINT flags, UINT id, const std::string& text) {
    m_window.systemMenu.push_back(
        {id, text, (flags & MF_SEPARATOR) != 0, (flags & MF_GRAYED) == 0});
}

void SystemMenu::EnableMenuItem(UINT id, UINT flags) {
    for (auto& item : m_window.systemMenu) {
        if (!item.separator && item.id == id) {
            item.enabled = (flags & MF_GRAYED) == 0;
        }
    }
}

Font::Font() = default;

Font::~Font() = default;

BOOL Font::CreatePointFontIndirect(int heightTenths, int weight, const std::string& faceName) {
    host::HostUi* ui = host::CurrentHostUi();
    const int dpi = ui != nullptr ? ui->screenDpiY() : 96;
    m_pixelHeight = -(dpi * heightTenths / 720);
    m_weight = weight;
    m_faceName = faceName;
    m_handle = reinterpret_cast<HFONT>(this);
    return TRUE;
}

} // namespace fw

// The host backend of fw::Dialog: the modal run over the dialog's model, the control operations,
// and painting, menus and fonts, recorded so that tests can see what the program did.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "fw/App.h"
#include "fw/Dialog.h"
#include "fw/host/DialogModel.h"
#include "fw/host/HostUi.h"

namespace fw {

namespace {

using host::DialogModel;
using host::ModelOf;

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
    m_backend = std::make_unique<DialogModel>(*this, *t, ui);
    DialogModel& model = *ModelOf(*this);
    model.visible = false;
    OnInitDialog();
    model.visible = true;
    model.paint();
    if (ui.onModal) {
        ui.onModal(*this);
    } else {
        for (int i = 0; i < kMaxQueuedMessagesPerModalRun && !model.ended && !ui.queue().empty();
             ++i) {
            ui.pumpMessage();
        }
    }
    if (!model.ended) {
        model.pressEscape();
    }
    if (!model.ended) {
        // Nothing the user does ends it: close the window the hard way rather than hang.
        model.ended = true;
        model.endCode = -1;
    }
    model.send(WM_DESTROY, 0, 0);
    model.destroyed = true;
    model.visible = false;
    ui.unregisterWindow(model.hwnd());
    App* app = App::Current();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
    return model.endCode;
}

void Dialog::EndDialog(int result) {
    DialogModel* model = ModelOf(*this);
    if (model != nullptr) {
        model->ended = true;
        model->endCode = result;
    }
}

HWND Dialog::GetSafeHwnd() const {
    DialogModel* model = ModelOf(*this);
    return model != nullptr ? model->hwnd() : nullptr;
}

void Dialog::SetWindowText(const std::string& text) {
    DialogModel* model = ModelOf(*this);
    if (model != nullptr) {
        model->caption = text;
    }
}

std::string Dialog::GetWindowText() const {
    DialogModel* model = ModelOf(*this);
    return model != nullptr ? model->caption : "";
}

void Dialog::SetDlgItemText(int id, const std::string& text) {
    DialogModel* model = ModelOf(*this);
    if (host::ControlModel* c = model != nullptr ? model->find(id) : nullptr) {
        c->text = text;
        if (model->ui().onItemText) {
            model->ui().onItemText(model->hwnd(), id, text);
        }
    }
}

std::string Dialog::GetDlgItemText(int id) const {
    DialogModel* model = ModelOf(*this);
    const host::ControlModel* c = model != nullptr ? model->find(id) : nullptr;
    return c != nullptr ? c->text : "";
}

void Dialog::EnableDlgItem(int id, BOOL enable) {
    DialogModel* model = ModelOf(*this);
    if (host::ControlModel* c = model != nullptr ? model->find(id) : nullptr) {
        c->enabled = enable != FALSE;
    }
}

BOOL Dialog::IsDlgItemEnabled(int id) const {
    DialogModel* model = ModelOf(*this);
    const host::ControlModel* c = model != nullptr ? model->find(id) : nullptr;
    return c != nullptr && c->enabled ? TRUE : FALSE;
}

void Dialog::ShowDlgItem(int id, int showCommand) {
    DialogModel* model = ModelOf(*this);
    if (host::ControlModel* c = model != nullptr ? model->find(id) : nullptr) {
        c->visible = showCommand != SW_HIDE;
    }
}

BOOL Dialog::IsDlgItemVisible(int id) const {
    DialogModel* model = ModelOf(*this);
    const host::ControlModel* c = model != nullptr ? model->find(id) : nullptr;
    return c != nullptr && c->visible ? TRUE : FALSE;
}

HWND Dialog::GetDlgItem(int id) const {
    DialogModel* model = ModelOf(*this);
    const host::ControlModel* c = model != nullptr ? model->find(id) : nullptr;
    return c != nullptr ? c->hwnd : nullptr;
}

int Dialog::ControlIdOf(HWND control) const {
    DialogModel* model = ModelOf(*this);
    const host::ControlModel* c = model != nullptr ? model->findByHandle(control) : nullptr;
    return c != nullptr ? c->id : 0;
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    DialogModel* model = ModelOf(*this);
    if (model == nullptr) {
        return;
    }
    for (auto& c : model->controls()) {
        if (c.id >= firstId && c.id <= lastId) {
            c.checked = c.id == checkId;
        }
    }
}

int Dialog::GetCheckedRadioButton(int firstId, int lastId) const {
    DialogModel* model = ModelOf(*this);
    if (model == nullptr) {
        return 0;
    }
    for (int id = firstId; id <= lastId; ++id) {
        const host::ControlModel* c = model->find(id);
        if (c != nullptr && c->checked) {
            return id;
        }
    }
    return 0;
}

LRESULT Dialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogModel* model = ModelOf(*this);
    host::ControlModel* c = model != nullptr ? model->find(id) : nullptr;
    return c != nullptr ? model->controlMessageFor(*c, message, wParam, lParam) : 0;
}

LRESULT Dialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    DialogModel* model = ModelOf(*this);
    return model != nullptr ? model->send(message, wParam, lParam) : 0;
}

BOOL Dialog::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    DialogModel* model = ModelOf(*this);
    if (model == nullptr) {
        return FALSE;
    }
    model->ui().post(model->hwnd(), message, wParam, lParam);
    return TRUE;
}

int Dialog::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    return RequireUi().messageBox(GetSafeHwnd(), text.c_str(), caption.c_str(), type);
}

SystemMenu* Dialog::GetSystemMenu() {
    DialogModel* model = ModelOf(*this);
    if (model == nullptr || !model->hasSystemMenu) {
        return nullptr;
    }
    if (m_systemMenu == nullptr) {
        m_systemMenu = std::make_unique<SystemMenu>(*this);
    }
    return m_systemMenu.get();
}

void Dialog::SetIcon(HICON icon, BOOL big) {
    DialogModel* model = ModelOf(*this);
    if (model != nullptr && big) {
        model->bigIcon = icon;
    }
}

void Dialog::GetWindowRect(RECT* rect) const {
    DialogModel* model = ModelOf(*this);
    *rect = model != nullptr ? model->windowRect : RECT{0, 0, 0, 0};
}

void Dialog::GetClientRect(RECT* rect) const {
    DialogModel* model = ModelOf(*this);
    if (model == nullptr) {
        *rect = RECT{0, 0, 0, 0};
        return;
    }
    const RECT& w = model->windowRect;
    if (model->iconic) {
        *rect = RECT{0, 0, 36, 36};
        return;
    }
    *rect = RECT{0, 0, w.right - w.left - DialogModel::kFrameWidth,
                 w.bottom - w.top - DialogModel::kFrameHeight};
}

void Dialog::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    DialogModel* model = ModelOf(*this);
    if (model == nullptr) {
        return;
    }
    model->windowRect = RECT{x, y, x + width, y + height};
    if (repaint) {
        model->paint();
    }
}

BOOL Dialog::IsIconic() const {
    DialogModel* model = ModelOf(*this);
    return model != nullptr && model->iconic ? TRUE : FALSE;
}

void Dialog::InvalidateRect(BOOL) {
    DialogModel* model = ModelOf(*this);
    if (model != nullptr) {
        model->invalidations++;
    }
}

void Dialog::UpdateWindow() {
    DialogModel* model = ModelOf(*this);
    if (model != nullptr) {
        model->updates++;
        model->paint();
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
    DialogModel* model = ModelOf(*this);
    if (model == nullptr) {
        return;
    }
    switch (id & 0xFFF0) {
    case SC_CLOSE:
        // The dialog manager turns the close command into the Cancel command.
        model->send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    case 0xF020: // SC_MINIMIZE
        model->iconic = true;
        break;
    case 0xF120: // SC_RESTORE
        model->iconic = false;
        break;
    default:
        break;
    }
}

void Dialog::DefaultPaint() {
    DialogModel* model = ModelOf(*this);
    if (model != nullptr) {
        model->paint();
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
    if (DialogModel* w = ModelOf(m_dialog)) {
        if (icon != nullptr) {
            w->iconPaints++;
            w->lastIconX = x;
            w->lastIconY = y;
        }
    }
}

void SystemMenu::AppendMenu(UINT flags, UINT id, const std::string& text) {
    if (DialogModel* model = ModelOf(m_dialog)) {
        model->systemMenu.push_back(
            {id, text, (flags & MF_SEPARATOR) != 0, (flags & MF_GRAYED) == 0});
    }
}

void SystemMenu::EnableMenuItem(UINT id, UINT flags) {
    DialogModel* model = ModelOf(m_dialog);
    if (model == nullptr) {
        return;
    }
    for (auto& item : model->systemMenu) {
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

// fw::host::DialogModel: the control model of one open dialog, the dialog manager's own handling
// of messages, and what a user does to the dialog.
#include "fw/host/DialogModel.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "fw/host/HostUi.h"

namespace fw::host {

bool ControlModel::IsRadio() const {
    return className == "Button" && (style & 0x0F) == static_cast<DWORD>(BS_AUTORADIOBUTTON);
}

bool ControlModel::IsPushButton() const {
    const DWORD kind = style & 0x0F;
    return className == "Button" && (kind == static_cast<DWORD>(BS_PUSHBUTTON) ||
                                     kind == static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

DialogModel::DialogModel(Dialog& dialog, const DialogTemplate& dialogTemplate, HostUi& ui)
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
        ControlModel c;
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

DialogModel::~DialogModel() {
    m_ui.unregisterWindow(m_hwnd);
}

ControlModel* DialogModel::find(int id) {
    for (auto& c : m_controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

const ControlModel* DialogModel::find(int id) const {
    return const_cast<DialogModel*>(this)->find(id);
}

ControlModel* DialogModel::findByHandle(HWND hwnd) {
    for (auto& c : m_controls) {
        if (c.hwnd == hwnd) {
            return &c;
        }
    }
    return nullptr;
}

LRESULT DialogModel::send(UINT message, WPARAM wParam, LPARAM lParam) {
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
            if (ControlModel* c = findByHandle(reinterpret_cast<HWND>(wParam))) {
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

void DialogModel::click(int id) {
    ControlModel* c = find(id);
    if (c == nullptr || !c->enabled || !c->visible) {
        return;
    }
    if (c->IsRadio()) {
        // An automatic radio button checks itself and unchecks the rest of its group.
        auto it = std::find_if(m_controls.begin(), m_controls.end(),
                               [&](const ControlModel& m) { return m.id == id; });
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

void DialogModel::pressEscape() {
    send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void DialogModel::pressEnter() {
    // Enter on a push button clicks it; elsewhere it is the dialog's OK command.
    if (ControlModel* c = find(focusId); c != nullptr && c->IsPushButton()) {
        click(c->id);
        return;
    }
    send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void DialogModel::systemCommand(UINT id) {
    send(WM_SYSCOMMAND, id, 0);
}

void DialogModel::focusControl(int id) {
    ControlModel* c = find(id);
    if (c == nullptr) {
        return;
    }
    focusId = id;
    if (c->IsRichEdit() || c->className == "Edit") {
        send(WM_COMMAND, MAKEWPARAM(id, EN_SETFOCUS), reinterpret_cast<LPARAM>(c->hwnd));
    }
}

LRESULT DialogModel::linkEvent(int id, UINT mouseMessage, CHARRANGE range) {
    ControlModel* c = find(id);
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

std::vector<CHARRANGE> DialogModel::linkRanges(int id) const {
    std::vector<CHARRANGE> ranges;
    const ControlModel* c = find(id);
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

void DialogModel::paint() {
    paints++;
    for (auto& c : m_controls) {
        if (c.className != "Static" || !c.visible) {
            continue;
        }
        c.draw = DrawState{};
        send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(&c.draw),
             reinterpret_cast<LPARAM>(c.hwnd));
    }
}

LRESULT DialogModel::controlMessage(ControlModel& c, UINT message, WPARAM wParam, LPARAM lParam) {
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

} // namespace fw::host

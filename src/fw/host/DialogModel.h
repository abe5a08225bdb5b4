// fw::DialogModel: the host backend of one fw::Dialog, a model of its template's controls
// that the program drives and a test inspects and clicks, as a user would.
#pragma once
#include <string>
#include <vector>

#include "fw/Dialog.h"
#include "fw/DialogTemplate.h"

namespace fw::host {

class HostUi;

// What a WM_CTLCOLOR handler did to a control's device context.
struct DrawState {
    HFONT font = nullptr;
    bool textColorSet = false;
    COLORREF textColor = 0;
    int bkMode = 0;
};

struct ControlModel {
    int id = 0;
    std::string className;
    std::string text;
    int iconId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT dialogUnits{0, 0, 0, 0}; // left, top, right, bottom in dialog units
    HWND hwnd = nullptr;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    // Rich edit state.
    bool autoUrlDetect = false;
    DWORD eventMask = 0;
    CHARRANGE selection{0, 0};
    // The colouring of the last paint.
    DrawState draw;

    bool IsRadio() const;
    bool IsPushButton() const;
    bool IsRichEdit() const { return className == "RichEdit20A"; }
};

struct MenuItem {
    UINT id;
    std::string text;
    bool separator;
    bool enabled;
};

// Made each time the dialog opens; kept after it closes, so that a test can still look at it.
class DialogModel : public DialogBackend {
public:
    // Dialog units of "MS Shell Dlg" 8 points at 96 dots per inch, and the classic frame.
    static constexpr int kBaseUnitX = 6;
    static constexpr int kBaseUnitY = 13;
    static constexpr int kFrameWidth = 6;
    static constexpr int kFrameHeight = 25;

    DialogModel(Dialog& dialog, const DialogTemplate& dialogTemplate, HostUi& ui);
    ~DialogModel() override;

    Dialog& dialog() { return m_dialog; }
    HWND hwnd() const { return m_hwnd; }
    HostUi& ui() { return m_ui; }
    // The template the window was made from.
    const DialogTemplate& dialogTemplate() const { return m_template; }

    // Sends a message: the dialog's message map first, then the dialog manager's own handling.
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam);

    ControlModel* find(int id);
    const ControlModel* find(int id) const;
    ControlModel* findByHandle(HWND hwnd);
    std::vector<ControlModel>& controls() { return m_controls; }
    const std::vector<ControlModel>& controls() const { return m_controls; }

    // What a user does.
    void click(int id);
    void pressEscape();
    void pressEnter();
    void systemCommand(UINT id);
    void focusControl(int id);
    // A mouse event on a marked link of a rich edit control: the control's EN_LINK notification.
    LRESULT linkEvent(int id, UINT mouseMessage, CHARRANGE range);
    // The ranges the rich edit control marks as links (web addresses) in its text.
    std::vector<CHARRANGE> linkRanges(int id) const;
    // Repaints: every control's colouring is asked of the dialog as the window manager does.
    void paint();

    // Window state.
    std::string caption;
    RECT windowRect{0, 0, 0, 0};
    bool iconic = false;
    bool visible = false;
    HICON bigIcon = nullptr;
    bool hasSystemMenu = false;
    std::vector<MenuItem> systemMenu;
    int focusId = 0;
    bool ended = false;
    int endCode = 0;
    bool destroyed = false;
    int invalidations = 0;
    int updates = 0;
    int paints = 0;
    int iconPaints = 0;
    int iconErases = 0;
    int lastIconX = 0;
    int lastIconY = 0;

    LRESULT controlMessageFor(ControlModel& control, UINT message, WPARAM wParam, LPARAM lParam) {
        return controlMessage(control, message, wParam, lParam);
    }

private:
    LRESULT controlMessage(ControlModel& control, UINT message, WPARAM wParam, LPARAM lParam);

    Dialog& m_dialog;
    const DialogTemplate& m_template;
    HostUi& m_ui;
    HWND m_hwnd;
    std::vector<ControlModel> m_controls;
};

// The model of a dialog on the host, for the backend and for tests that play the user; null
// before the dialog first opens.
inline DialogModel* ModelOf(const Dialog& dialog) {
    // The host backend gives every dialog a DialogModel and no other kind of backend.
    return static_cast<DialogModel*>(dialog.Backend());
}

} // namespace fw::host

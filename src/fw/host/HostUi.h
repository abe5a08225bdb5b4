// The host's user interface: a message queue, recorded message boxes, a virtual screen and the
// hooks through which a test plays the user.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fw/DialogTemplate.h"
#include "fw/Ui.h"

namespace fw {
class Dialog;
} // namespace fw

namespace fw::host {

class DialogModel;

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct QueuedMessage {
    HWND target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class HostUi : public Ui {
public:
    HostUi();
    ~HostUi() override;

    void beginWaitCursor() override;
    void endWaitCursor() override;
    bool pumpMessage() override;
    int getSystemMetrics(int index) override;
    int screenDpiY() override { return m_dpiY; }
    int messageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    HICON loadIcon(int resourceId) override;

    // The virtual screen.
    void setScreenSize(int width, int height) {
        m_screenWidth = width;
        m_screenHeight = height;
    }
    void setDpiY(int dpi) { m_dpiY = dpi; }

    // The program's dialog templates: a dialog's model is built from its template when it opens,
    // and a dialog whose template is not in the table fails to open.
    void setDialogTemplates(const DialogTemplateTable& templates) { m_templates = templates; }
    const DialogTemplateTable& dialogTemplates() const { return m_templates; }

    // Called when a dialog enters its modal loop: the test plays the user there and ends the
    // dialog. Without it, the dialog works off its queue and is then closed with Escape.
    std::function<void(Dialog&)> onModal;
    // Called for each message box before it is answered with OK.
    std::function<void(const MessageBoxRecord&)> onMessageBox;
    // Called each time the program pumps one message, before the message is taken.
    std::function<void()> onPump;
    // Called each time the program sets a control's text (SetDlgItemText), after the change.
    std::function<void(HWND dialog, int id, const std::string& text)> onItemText;

    const std::vector<MessageBoxRecord>& messageBoxes() const { return m_messageBoxes; }
    void clearMessageBoxes() { m_messageBoxes.clear(); }
    int waitCursorDepth() const { return m_waitDepth; }
    int waitCursorBegins() const { return m_waitBegins; }
    int pumpedMessages() const { return m_pumped; }
    std::deque<QueuedMessage>& queue() { return m_queue; }

    // The backend's bookkeeping of open dialog windows and fake handles.
    void post(HWND target, UINT message, WPARAM wParam, LPARAM lParam);
    HWND newHandle();
    void registerWindow(HWND hwnd, DialogModel* window);
    void unregisterWindow(HWND hwnd);
    DialogModel* windowOf(HWND hwnd) const;

private:
    int m_screenWidth = 1024;
    int m_screenHeight = 768;
    int m_dpiY = 96;
    int m_waitDepth = 0;
    int m_waitBegins = 0;
    int m_pumped = 0;
    std::uintptr_t m_nextHandle = 0x1000;
    std::vector<MessageBoxRecord> m_messageBoxes;
    std::deque<QueuedMessage> m_queue;
    std::map<HWND, DialogModel*> m_windows;
    DialogTemplateTable m_templates;
};

// The host UI of the current application object; null when it has none.
HostUi* CurrentHostUi();

} // namespace fw::host

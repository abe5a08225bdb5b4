// The host's user interface: queue, message boxes, screen and the test's hooks.
#include "fw/host/HostUi.h"

#include "fw/App.h"
#include "fw/host/DialogModel.h"

namespace fw::host {

HostUi::HostUi() = default;
HostUi::~HostUi() = default;

void HostUi::beginWaitCursor() {
    m_waitDepth++;
    m_waitBegins++;
}

void HostUi::endWaitCursor() {
    if (m_waitDepth > 0) {
        m_waitDepth--;
    }
}

bool HostUi::pumpMessage() {
    if (onPump) {
        onPump();
    }
    m_pumped++;
    if (m_queue.empty()) {
        return true;
    }
    const QueuedMessage m = m_queue.front();
    m_queue.pop_front();
    if (DialogModel* window = windowOf(m.target)) {
        window->send(m.message, m.wParam, m.lParam);
    }
    return true;
}

int HostUi::getSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return m_screenWidth;
    case SM_CYSCREEN:
        return m_screenHeight;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}

int HostUi::messageBox(HWND owner, const char* text, const char* caption, UINT type) {
    m_messageBoxes.push_back(
        {owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
    if (onMessageBox) {
        onMessageBox(m_messageBoxes.back());
    }
    return IDOK;
}

HICON HostUi::loadIcon(int resourceId) {
    return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0x7000 + resourceId));
}

void HostUi::post(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    m_queue.push_back({target, message, wParam, lParam});
}

HWND HostUi::newHandle() {
    m_nextHandle += 4;
    return reinterpret_cast<HWND>(m_nextHandle);
}

void HostUi::registerWindow(HWND hwnd, DialogModel* window) {
    m_windows[hwnd] = window;
}

void HostUi::unregisterWindow(HWND hwnd) {
    m_windows.erase(hwnd);
}

DialogModel* HostUi::windowOf(HWND hwnd) const {
    const auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : it->second;
}

HostUi* CurrentHostUi() {
    App* app = App::Current();
    return app != nullptr ? dynamic_cast<HostUi*>(app->services().ui) : nullptr;
}

} // namespace fw::host

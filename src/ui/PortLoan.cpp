// The port loan: asking every companion test program window to release a port, and giving it back.
#include "ui/PortLoan.h"

#include <cstring>
#include <strings.h>

#include "fw/App.h"
#include "ui/UpdateDlg.h"

#ifdef _WIN32
#define strncasecmp _strnicmp
#endif

namespace {

constexpr int kTitleBuffer = 100;
// No real desktop has this many windows; the bound keeps a changing window list from looping.
constexpr int kMaxWindowsWalked = 100000;

// Posts the message to every visible top-level window whose title begins with the companion's.
// Returns how many windows were served.
int PostToCompanions(fw::TopWindows& windows, WPARAM code, LPARAM port) {
    const std::size_t titleLength = std::strlen(COMPANION_WINDOW_TITLE);
    int served = 0;
    HWND h = windows.getTopWindow();
    for (int walked = 0; walked < kMaxWindowsWalked && windows.isWindow(h); ++walked) {
        if (windows.isWindowVisible(h)) {
            char title[kTitleBuffer] = {};
            windows.getWindowText(h, title, kTitleBuffer);
            if (title[0] != 0 && std::strlen(title) >= titleLength &&
                strncasecmp(title, COMPANION_WINDOW_TITLE, titleLength) == 0) {
                windows.postMessage(h, WM_PORT_HANDOFF, code, port);
                served++;
            }
        }
        h = windows.getNextWindow(h);
    }
    return served;
}

} // namespace

void CUpdateDlg::RequestPortLoan(int nPort) {
    const fw::Services& services = fw::App::Current()->services();
    if (services.windows == nullptr) {
        return;
    }
    if (PostToCompanions(*services.windows, PORT_RELEASE_REQUEST, nPort) > 0) {
        m_nLoanPort = nPort;
    }
    if (m_nLoanPort != -1) {
        services.clock->sleep(PORT_LOAN_WAIT_MS);
    }
}

void CUpdateDlg::ReturnPortLoan() {
    if (m_nLoanPort == -1) {
        return;
    }
    const fw::Services& services = fw::App::Current()->services();
    if (services.windows != nullptr) {
        PostToCompanions(*services.windows, PORT_RETURN_NOTICE, m_nLoanPort);
    }
    m_nLoanPort = -1;
}

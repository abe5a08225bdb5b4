// The application object: the process's current one, its profile and its wait cursor.
#include "fw/App.h"

#include "fw/Dialog.h"

namespace fw {

namespace {
// The framework's one pointer to the application object (its AfxGetApp). A newer object hides an
// older one until it is destroyed, so that a test can stand in for the program's own.
App* g_currentApp = nullptr;
App* g_previousApps[8] = {};
int g_previousCount = 0;
} // namespace

App::App() {
    if (g_currentApp != nullptr && g_previousCount < 8) {
        g_previousApps[g_previousCount++] = g_currentApp;
    }
    g_currentApp = this;
}

App::~App() {
    if (g_currentApp == this) {
        g_currentApp = g_previousCount > 0 ? g_previousApps[--g_previousCount] : nullptr;
    }
}

App* App::Current() {
    return g_currentApp;
}

BOOL App::InitInstance() {
    return TRUE;
}

void App::SetRegistryKey(const std::string& company) {
    if (m_services.profile != nullptr) {
        m_services.profile->setRegistryKey(company, m_appName);
    }
}

int App::GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
    if (m_services.profile == nullptr) {
        return defaultValue;
    }
    return m_services.profile->getProfileInt(section, entry, defaultValue);
}

bool App::WriteProfileInt(const std::string& section, const std::string& entry, int value) {
    return m_services.profile != nullptr &&
           m_services.profile->writeProfileInt(section, entry, value);
}

void App::BeginWaitCursor() {
    m_waitCursorDepth++;
    if (m_services.ui != nullptr) {
        m_services.ui->beginWaitCursor();
    }
}

void App::EndWaitCursor() {
    if (m_waitCursorDepth > 0) {
        m_waitCursorDepth--;
    }
    if (m_services.ui != nullptr) {
        m_services.ui->endWaitCursor();
    }
}

bool App::PumpMessage() {
    return m_services.ui != nullptr && m_services.ui->pumpMessage();
}

int AfxMessageBox(const std::string& text, UINT type) {
    App* app = App::Current();
    if ((type & 0xF0u) == 0) {
        type |= MB_ICONEXCLAMATION;
    }
    const std::string caption = app != nullptr ? app->AppName() : std::string();
    if (app == nullptr || app->services().ui == nullptr) {
        return IDOK;
    }
    HWND owner = app->m_pMainWnd != nullptr ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    return app->services().ui->messageBox(owner, text.c_str(), caption.c_str(), type);
}

} // namespace fw

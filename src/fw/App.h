// The application object: the one per process, its services, profile, wait cursor and message pump.
#pragma once
#include <string>

#include "fw/Services.h"

namespace fw {

class Dialog;

class App {
public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // The application object of this process; null before one exists.
    static App* Current();

    // Called once by the entry point. Returns FALSE when the program is to end at once.
    virtual BOOL InitInstance();

    void SetServices(const Services& services) { m_services = services; }
    const Services& services() const { return m_services; }

    // The application's name: the program file's name without extension.
    const std::string& AppName() const { return m_appName; }
    void SetAppName(const std::string& name) { m_appName = name; }

    // The whole command line as the process was started with it ("" when there is none).
    const std::string& CommandLine() const { return m_commandLine; }
    void SetCommandLine(const std::string& line) { m_commandLine = line; }

    void SetRegistryKey(const std::string& company);
    int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue);
    bool WriteProfileInt(const std::string& section, const std::string& entry, int value);

    void BeginWaitCursor();
    void EndWaitCursor();
    int WaitCursorDepth() const { return m_waitCursorDepth; }
    // Dispatches exactly one message from the thread's queue.
    bool PumpMessage();

    Dialog* m_pMainWnd = nullptr;

private:
    Services m_services;
    std::string m_appName;
    std::string m_commandLine;
    int m_waitCursorDepth = 0;
};

// Shows the wait cursor for its lifetime: ended on every way out of a scope, exceptions included.
class WaitCursorScope {
public:
    explicit WaitCursorScope(App& app) : m_app(app) { m_app.BeginWaitCursor(); }
    ~WaitCursorScope() { m_app.EndWaitCursor(); }
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;

private:
    App& m_app;
};

// Registers the common control window classes.
void InitCommonControls();
// Loads the rich edit 2.0 control library once per process; TRUE when it is loaded.
BOOL InitRichEdit2();

// Message box with the application's name as caption (AfxMessageBox); exclamation icon when
// no icon is given. Owned by the main window.
int AfxMessageBox(const std::string& text, UINT type);

} // namespace fw

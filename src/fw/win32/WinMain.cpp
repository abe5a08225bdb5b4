// The program's entry point on Windows: the real services, the command line, the application name
// and the application object's InitInstance.
#include <string>

#include "fw/App.h"
#include "fw/win32/WinClock.h"
#include "fw/win32/WinComm.h"
#include "fw/win32/WinPortMap.h"
#include "fw/win32/WinProfile.h"
#include "fw/win32/WinShell.h"
#include "fw/win32/WinTopWindows.h"
#include "fw/win32/WinUi.h"

namespace {

// The program file's name without its folder and without its extension (upd.exe gives upd).
std::string ApplicationNameFromModule() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    std::string name(path, length);
    const std::string::size_type folderEnd = name.find_last_of("\\/:");
    if (folderEnd != std::string::npos) {
        name.erase(0, folderEnd + 1);
    }
    const std::string::size_type dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    fw::App* app = fw::App::Current();
    if (app == nullptr) {
        return 0;
    }

    static fw::win32::WinComm comm;
    static fw::win32::WinClock clock;
    static fw::win32::WinPortMap portMap;
    static fw::win32::WinProfile profile;
    static fw::win32::WinTopWindows windows;
    static fw::win32::WinShell shell;
    static fw::win32::WinUi ui;

    fw::Services services;
    services.comm = &comm;
    services.clock = &clock;
    services.portMap = &portMap;
    services.profile = &profile;
    services.windows = &windows;
    services.shell = &shell;
    services.ui = &ui;
    app->SetServices(services);

    const char* commandLine = ::GetCommandLineA();
    app->SetCommandLine(commandLine != nullptr ? commandLine : "");
    app->SetAppName(ApplicationNameFromModule());

    // The program's whole life is inside InitInstance; its answer only says whether a message
    // loop would follow, and there is none.
    app->InitInstance();
    return 0;
}

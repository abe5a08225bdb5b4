// The stop handler on Windows: a console control handler that sets the flag. The waits notice
// it within one slice of their blocking reads.
#include <windows.h>

#include "console/os/StopSignal.h"

namespace console {

namespace {

BOOL WINAPI OnControlEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // Asked twice: the default handler ends the process.
        return RequestStop(kSignalInterrupt) ? TRUE : FALSE;
    default:
        // The window closes or the user logs off: the process ends when this handler returns,
        // so give the update a moment to close the port and write its last lines.
        RequestStop(kSignalTerminate);
        ::Sleep(2000);
        return TRUE;
    }
}

} // namespace

void InstallStopHandlers() {
    ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

} // namespace console

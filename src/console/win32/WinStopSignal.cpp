// The stop flag on Windows: a console control handler that sets it. The waits notice it within
// one slice of their blocking reads.
#include <windows.h>

#include "console/StopSignal.h"

namespace console {

namespace {

volatile LONG g_stopSignal = 0;

BOOL WINAPI OnControlEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        if (g_stopSignal != 0) {
            return FALSE; // asked twice: the default handler ends the process
        }
        RequestStop(kSignalInterrupt);
        return TRUE;
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

int StopSignal() {
    // An interlocked read: the control handler runs on a thread of its own.
    return static_cast<int>(::InterlockedCompareExchange(&g_stopSignal, 0, 0));
}

void RequestStop(int signalNumber) {
    ::InterlockedCompareExchange(&g_stopSignal, signalNumber, 0);
}

} // namespace console

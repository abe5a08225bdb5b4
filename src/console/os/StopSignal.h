// Ctrl-C and SIGTERM: the one flag that stops every update of this process.
#pragma once
#include "console/words/ExitCodes.h"

namespace console {

// Installs handlers that only note the signal (on Windows, the console's control events:
// Ctrl-C and Ctrl-Break as SIGINT, closing the window or logging off as SIGTERM). A second
// Ctrl-C while the first is being handled ends the process at once. A closed output pipe does
// not end the process (SIGPIPE is ignored).
void InstallStopHandlers();

// 0 while no stop was asked for; else the number of the first signal received.
int StopSignal();

// As if the signal had arrived; false when a stop had been asked for already. Safe in a signal
// handler and from any thread.
bool RequestStop(int signalNumber);

} // namespace console

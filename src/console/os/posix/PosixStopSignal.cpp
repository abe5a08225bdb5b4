// The stop handlers on POSIX: SIGINT and SIGTERM set the flag and interrupt a blocked read.
#include <csignal>

#include <unistd.h>

#include "console/os/StopSignal.h"

namespace console {

namespace {

extern "C" void OnStopSignal(int number) {
    if (!RequestStop(number) && number == SIGINT) {
        ::_exit(128 + SIGINT); // asked twice: the user means it
    }
}

} // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocked read(2) or poll(2) returns at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A reader of the output that goes away (a pipe into head) must not end an update halfway:
    // the writes fail instead, and the update runs to its end.
    ::signal(SIGPIPE, SIG_IGN);
}

} // namespace console

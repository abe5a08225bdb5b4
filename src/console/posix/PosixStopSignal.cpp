// The stop flag on POSIX: SIGINT and SIGTERM handlers that set it and interrupt a blocked wait.
#include <csignal>

#include <unistd.h>

#include "console/StopSignal.h"

namespace console {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int number) {
    if (g_stopSignal != 0 && number == SIGINT) {
        ::_exit(128 + SIGINT); // asked twice: the user means it
    }
    if (g_stopSignal == 0) {
        g_stopSignal = number;
    }
}

} // namespace

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a wait in poll(2) returns at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A reader of the output that goes away (a pipe into head) must not end an update halfway:
    // the writes fail instead, and the update runs to its end.
    ::signal(SIGPIPE, SIG_IGN);
}

int StopSignal() {
    return g_stopSignal;
}

void RequestStop(int signalNumber) {
    if (g_stopSignal == 0) {
        g_stopSignal = signalNumber;
    }
}

} // namespace console

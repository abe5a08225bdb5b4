// The stop flag on POSIX: SIGINT and SIGTERM handlers that set it and interrupt a blocked wait.
#include <atomic>
#include <csignal>

#include <unistd.h>

#include "console/StopSignal.h"

namespace console {

namespace {

// Read by every update's thread and written by the handler: a lock-free atomic is safe in both.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag is set in a signal handler");

extern "C" void OnStopSignal(int number) {
    int none = 0;
    if (!g_stopSignal.compare_exchange_strong(none, number) && number == SIGINT) {
        ::_exit(128 + SIGINT); // asked twice: the user means it
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
    return g_stopSignal.load();
}

void RequestStop(int signalNumber) {
    int none = 0;
    g_stopSignal.compare_exchange_strong(none, signalNumber);
}

} // namespace console

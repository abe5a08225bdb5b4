// The stop flag itself, shared by the handlers of both systems and read by every update.
#include "console/os/StopSignal.h"

#include <atomic>

namespace console {

namespace {

// Written by a signal handler (or Windows' control thread), read by every update's thread.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop flag is set in a signal handler");

} // namespace

int StopSignal() {
    return g_stopSignal.load();
}

bool RequestStop(int signalNumber) {
    int none = 0;
    return g_stopSignal.compare_exchange_strong(none, signalNumber);
}

} // namespace console

// Blocking waits on the serial port, sliced so that a stop is noticed at once.
#include "console/BlockingWaits.h"

#include <algorithm>

namespace console {

BlockingWaits::BlockingWaits(fw::Clock& clock, std::function<bool()> stopRequested,
                             std::function<void()> idle)
    : m_clock(clock), m_stopRequested(std::move(stopRequested)), m_idle(std::move(idle)) {}

update::WaitResult BlockingWaits::waitForCharacter(serial::Line& line, DWORD start, DWORD limitMs,
                                                   char* received) {
    *received = 0;
    for (;;) {
        if (m_stopRequested()) {
            return update::WaitResult::kStopped;
        }
        const DWORD elapsed = fw::TicksSince(m_clock, start);
        if (elapsed >= limitMs) {
            return update::WaitResult::kTimedOut;
        }
        char c = 0;
        const int count = line.read(&c, 1, std::min(limitMs - elapsed, kSliceMs));
        if (count == serial::Line::kReadFailed) {
            return update::WaitResult::kReadFailed;
        }
        if (count == 1) {
            *received = c;
            return update::WaitResult::kCharacter;
        }
        m_idle();
    }
}

bool BlockingWaits::pause(DWORD milliseconds) {
    const DWORD start = m_clock.getTickCount();
    for (;;) {
        if (m_stopRequested()) {
            return false;
        }
        const DWORD elapsed = fw::TicksSince(m_clock, start);
        if (elapsed >= milliseconds) {
            return true;
        }
        m_clock.sleep(std::min(milliseconds - elapsed, kSliceMs));
    }
}

bool BlockingWaits::betweenStatusReads() {
    m_clock.sleep(kStatusReadGapMs);
    return !m_stopRequested();
}

} // namespace console

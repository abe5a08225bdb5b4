// Blocking waits on the serial port, sliced so that a stop is noticed at once.
#include "update/BlockingWaits.h"

#include <algorithm>

namespace update {

BlockingWaits::BlockingWaits(base::Clock& clock, std::function<bool()> stopRequested,
                             std::function<void()> idle)
    : m_clock(clock), m_stopRequested(std::move(stopRequested)), m_idle(std::move(idle)) {}

WaitResult BlockingWaits::waitForCharacter(serial::Line& line, std::uint32_t start,
                                           std::uint32_t limitMs, char* received) {
    *received = 0;
    for (;;) {
        if (m_stopRequested()) {
            return WaitResult::kStopped;
        }
        const std::uint32_t elapsed = base::TicksSince(m_clock, start);
        if (elapsed >= limitMs) {
            return WaitResult::kTimedOut;
        }
        char c = 0;
        const int count = line.read(&c, 1, std::min(limitMs - elapsed, kSliceMs));
        if (count == serial::Line::kReadFailed) {
            return WaitResult::kReadFailed;
        }
        if (count == 1) {
            *received = c;
            return WaitResult::kCharacter;
        }
        m_idle();
    }
}

bool BlockingWaits::pause(std::uint32_t milliseconds) {
    const std::uint32_t start = m_clock.getTickCount();
    for (;;) {
        if (m_stopRequested()) {
            return false;
        }
        const std::uint32_t elapsed = base::TicksSince(m_clock, start);
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

} // namespace update

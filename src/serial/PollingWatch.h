// serial::PollingWatch: where the system tells nothing of its ports, they are looked at every so
// often, and never more often than that.
#pragma once
#include <string>

#include "base/Clock.h"
#include "serial/PortWatch.h"

namespace serial {

class PollingWatch : public PortWatch {
public:
    // A look every periodMs; why is the reason the system's notice is not had.
    PollingWatch(base::Clock& clock, std::uint32_t periodMs, std::string why)
        : m_clock(clock), m_periodMs(periodMs), m_why(std::move(why)),
          m_last(clock.getTickCount()) {}

    // Sleeps until the next look is due (true) or the limit (false), whichever comes first.
    bool wait(std::uint32_t limitMs) override {
        const std::uint32_t since = base::TicksSince(m_clock, m_last);
        const std::uint32_t due = since >= m_periodMs ? 0 : m_periodMs - since;
        if (limitMs < due) {
            m_clock.sleep(limitMs);
            return false;
        }
        m_clock.sleep(due);
        m_last = m_clock.getTickCount();
        return true;
    }
    std::string fallback() const override { return m_why; }

private:
    base::Clock& m_clock;
    std::uint32_t m_periodMs;
    std::string m_why;
    std::uint32_t m_last;
};

} // namespace serial

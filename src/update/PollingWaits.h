// update::PollingWaits: the waits of the dialog, busy loops on the tick counter.
#pragma once
#include "base/Clock.h"
#include "update/LineWaits.h"

namespace update {

// Polls the input count in a tight loop without sleeping, so that each character is taken the
// moment it arrives, and never dispatches a window message. Never stops early.
class PollingWaits : public LineWaits {
public:
    explicit PollingWaits(base::Clock& clock) : m_clock(clock) {}

    std::uint32_t now() override { return m_clock.getTickCount(); }
    WaitResult waitForCharacter(serial::Line& line, std::uint32_t start, std::uint32_t limitMs,
                                char* received) override;
    bool pause(std::uint32_t milliseconds) override;
    bool betweenStatusReads() override { return true; }

private:
    base::Clock& m_clock;
};

} // namespace update

// update::PollingWaits: the waits of the dialog, busy loops on the tick counter.
#pragma once
#include "fw/Clock.h"
#include "update/LineWaits.h"

namespace update {

// Polls the input count in a tight loop without sleeping, so that each character is taken the
// moment it arrives, and never dispatches a window message. Never stops early.
class PollingWaits : public LineWaits {
public:
    explicit PollingWaits(fw::Clock& clock) : m_clock(clock) {}

    DWORD now() override { return m_clock.getTickCount(); }
    WaitResult waitForCharacter(serial::Line& line, DWORD start, DWORD limitMs,
                                char* received) override;
    bool pause(DWORD milliseconds) override;
    bool betweenStatusReads() override { return true; }

private:
    fw::Clock& m_clock;
};

} // namespace update

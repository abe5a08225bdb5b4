// update::BlockingWaits: the console's waits, blocked in the kernel in short stoppable slices.
#pragma once
#include <functional>

#include "base/Clock.h"
#include "update/LineWaits.h"

namespace update {

// Each wait for a character is a blocking read of at most kSliceMs (a poll on a tty, a
// ReadFile with a total time-out on Windows), so an update costs next to no CPU time, a
// character is taken as soon as the kernel has it, and a stop is noticed within one slice.
// The pause and the reads of the modem status sleep instead of spinning.
class BlockingWaits : public LineWaits {
public:
    static constexpr std::uint32_t kSliceMs = 100;
    static constexpr std::uint32_t kStatusReadGapMs = 5;

    // stopRequested is asked before every slice; idle is called after each slice that brought
    // nothing (a view shows how long the device has been silent).
    BlockingWaits(base::Clock& clock, std::function<bool()> stopRequested,
                  std::function<void()> idle);

    std::uint32_t now() override { return m_clock.getTickCount(); }
    WaitResult waitForCharacter(serial::Line& line, std::uint32_t start, std::uint32_t limitMs,
                                char* received) override;
    // Handed on to the line, which may gather what is expected in one wake-up.
    void expect(serial::Line& line, std::size_t characters) override { line.expect(characters); }
    bool pause(std::uint32_t milliseconds) override;
    bool betweenStatusReads() override;

private:
    base::Clock& m_clock;
    std::function<bool()> m_stopRequested;
    std::function<void()> m_idle;
};

} // namespace update

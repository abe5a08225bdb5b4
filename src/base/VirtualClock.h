// A tick counter that moves only when read or slept on, so that time-outs run without real waiting.
#pragma once
#include <cstdint>

#include "base/Clock.h"

namespace base {

class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::uint32_t start = 0, std::uint32_t stepPerRead = 1)
        : m_now(start), m_step(stepPerRead) {}

    // Each read advances the clock by the step, the way a busy poll lets real time pass.
    std::uint32_t getTickCount() override {
        std::uint32_t t = m_now;
        m_now += m_step;
        m_reads++;
        return t;
    }
    void sleep(std::uint32_t milliseconds) override {
        m_now += milliseconds;
        m_slept += milliseconds;
        m_sleeps++;
    }

    std::uint32_t now() const { return m_now; }
    void advance(std::uint32_t milliseconds) { m_now += milliseconds; }
    unsigned long long reads() const { return m_reads; }
    unsigned long long totalSlept() const { return m_slept; }
    int sleeps() const { return m_sleeps; }

private:
    std::uint32_t m_now;
    std::uint32_t m_step;
    unsigned long long m_reads = 0;
    unsigned long long m_slept = 0;
    int m_sleeps = 0;
};

} // namespace base

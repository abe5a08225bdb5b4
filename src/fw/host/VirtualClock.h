// A tick counter that moves only when read or slept on, so that time-outs run without real waiting.
#pragma once
#include "fw/Clock.h"

namespace fw::host {

class VirtualClock : public Clock {
public:
    explicit VirtualClock(DWORD start = 0, DWORD stepPerRead = 1)
        : m_now(start), m_step(stepPerRead) {}

    // Each read advances the clock by the step, the way a busy poll lets real time pass.
    DWORD getTickCount() override {
        DWORD t = m_now;
        m_now += m_step;
        m_reads++;
        return t;
    }
    void sleep(DWORD milliseconds) override {
        m_now += milliseconds;
        m_slept += milliseconds;
        m_sleeps++;
    }

    DWORD now() const { return m_now; }
    void advance(DWORD milliseconds) { m_now += milliseconds; }
    void setStep(DWORD step) { m_step = step; }
    unsigned long long reads() const { return m_reads; }
    unsigned long long totalSlept() const { return m_slept; }
    int sleeps() const { return m_sleeps; }

private:
    DWORD m_now;
    DWORD m_step;
    unsigned long long m_reads = 0;
    unsigned long long m_slept = 0;
    int m_sleeps = 0;
};

} // namespace fw::host

// The device's signal on DSR, CTS and DCD by time, and the program's DTR and RTS.
#include "sim/ModemLines.h"

namespace sim {

void ModemLines::setSignal(bool on) {
    m_signal = on;
    m_dropPending = false;
}

void ModemLines::dropAt(Micros at) {
    m_dropPending = true;
    m_dropAt = at;
}

void ModemLines::flap(Micros from, Micros until, Micros period) {
    m_flapFrom = from;
    m_flapUntil = until;
    m_flapPeriod = period;
}

bool ModemLines::advance(Micros now) {
    if (!m_dropPending || now < m_dropAt) {
        return false;
    }
    m_dropPending = false;
    m_signal = false;
    return true;
}

bool ModemLines::pendingDrop(Micros* at) const {
    if (m_dropPending) {
        *at = m_dropAt;
    }
    return m_dropPending;
}

bool ModemLines::setControl(bool dtr, bool rts) {
    const bool changed = dtr != m_dtr || rts != m_rts;
    m_dtr = dtr;
    m_rts = rts;
    return changed;
}

bool ModemLines::signal(Micros now) const {
    if (m_flapPeriod > 0 && now >= m_flapFrom && now < m_flapUntil) {
        return ((now - m_flapFrom) / m_flapPeriod) % 2 == 0;
    }
    return m_signal;
}

ModemStatus ModemLines::status(Micros now) const {
    ModemStatus s;
    s.dtr = m_dtr;
    s.rts = m_rts;
    s.cts = signal(now);
    s.dcd = s.cts;
    s.dsr = s.cts && !m_noDsrWire;
    return s;
}

} // namespace sim

// The modem lines between the device and the program's port: DSR, CTS and DCD carry the signal
// the device's firmware drives, DTR and RTS are what the program sets.
#pragma once
#include "sim/DeviceLog.h"

namespace sim {

// The lines as the program's port reports them at one moment.
struct ModemStatus {
    bool dtr = false;
    bool rts = false;
    bool dsr = false;
    bool cts = false;
    bool dcd = false;
};

// The device's signal is on while its application firmware runs and off in the boot loader. A
// cable carries it on DSR, CTS and DCD alike, unless the cable has no DSR wire. Around a restart
// the signal need not change cleanly: it may drop some time after the boot loader took over, or
// go off and on for a while before.
class ModemLines {
public:
    explicit ModemLines(bool signalOn) : m_signal(signalOn) {}

    // The signal from now on, whatever was scheduled.
    void setSignal(bool on);
    // The signal drops at `at` (until then it stays as it is).
    void dropAt(Micros at);
    // From `from` until `until` the signal goes off and on every `period`, beginning on; after
    // that it is whatever setSignal and dropAt make it.
    void flap(Micros from, Micros until, Micros period);
    // A cable without a DSR wire: DSR reads off whatever the device drives.
    void setCableWithoutDsr(bool missing) { m_noDsrWire = missing; }

    // Applies a drop that is due by now; true when it did.
    bool advance(Micros now);
    // When a scheduled drop is due; false when none is.
    bool pendingDrop(Micros* at) const;

    // DTR and RTS as the program set them; true when either changed.
    bool setControl(bool dtr, bool rts);
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }

    // The device's signal at now (after advance(now)).
    bool signal(Micros now) const;
    ModemStatus status(Micros now) const;

private:
    bool m_signal;
    bool m_dropPending = false;
    Micros m_dropAt = 0;
    Micros m_flapFrom = 0;
    Micros m_flapUntil = 0;
    Micros m_flapPeriod = 0;
    bool m_noDsrWire = false;
    bool m_dtr = false;
    bool m_rts = false;
};

} // namespace sim

// The boot-loader entry: the line opened at the application firmware's speed, its identity
// checked, the restart into the boot loader confirmed by DSR dropping, and the switch of speed.
#include "update/DeviceProtocol.h"
#include "update/IdentityReply.h"
#include "update/UpdateSession.h"

namespace update {

Outcome UpdateSession::OpenPort() {
    Enter(Stage::kOpeningPort);
    bool open = m_line.open(kApplicationBaud);
    if (!open && m_observer.retryOpen(m_line.lastError())) {
        open = m_line.open(kApplicationBaud);
    }
    if (!open) {
        Outcome outcome = Failed(Failure::kPortOpen);
        outcome.openError = m_line.lastError();
        return outcome;
    }
    m_observer.portOpened();
    return Succeeded();
}

Outcome UpdateSession::EnterBootLoader() {
    Enter(Stage::kProbing);
    const serial::Dsr dsr = m_line.dsr();
    const bool dsrOn = dsr == serial::Dsr::kOn;
    m_observer.modemStatus(dsr != serial::Dsr::kUnknown, dsrOn);
    if (!dsrOn) {
        return Succeeded(); // the boot loader runs already, or nothing tells otherwise
    }

    // The identity; later characters are still read within the window but play no part.
    Enter(Stage::kIdentifyingDevice);
    Send(kIdentityCommand);
    m_waits.expect(m_line, kIdentityReplyLength);
    m_observer.waitStarted(Stage::kIdentifyingDevice, kEntryLimitMs);
    IdentityReply reply;
    const std::uint32_t start = m_waits.now();
    for (;;) {
        char c = 0;
        const WaitResult result = m_waits.waitForCharacter(m_line, start, kEntryLimitMs, &c);
        if (result == WaitResult::kStopped) {
            return Stopped();
        }
        if (result == WaitResult::kTimedOut) {
            Outcome outcome = Failed(Failure::kNoIdentity);
            outcome.reply = reply.received();
            return outcome;
        }
        // A failed read takes 0 and still counts.
        if (reply.take(c)) {
            m_facts.identity = reply.identity();
            break;
        }
    }

    // The restart: DSR drops when the boot loader runs. A status read that fails counts as DSR
    // still on, so a line that dies here is not taken for a restart.
    Enter(Stage::kRestarting);
    Send(kRestartCommand);
    m_facts.device = DeviceState::kRestartRequested;
    m_observer.waitStarted(Stage::kRestarting, kEntryLimitMs);
    const std::uint32_t restartStart = m_waits.now();
    while (m_waits.now() - restartStart < kEntryLimitMs) {
        if (m_line.dsr() == serial::Dsr::kOff) {
            return Succeeded();
        }
        if (!m_waits.betweenStatusReads()) {
            return Stopped();
        }
    }
    return Failed(Failure::kNoRestart);
}

void UpdateSession::SwitchToBootLoaderSpeed() {
    Enter(Stage::kSwitchingSpeed);
    m_line.setSpeed(kBootLoaderBaud);
}

} // namespace update

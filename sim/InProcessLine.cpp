// In-process serial line: the engine's line operations served by the device model on virtual time.
#include "sim/InProcessLine.h"

#include <algorithm>

namespace sim {

namespace {
constexpr std::size_t kMaxBaudHistory = 1024;
}

InProcessLine::InProcessLine(base::VirtualClock& clock, DeviceModel& device, std::string name,
                             std::vector<std::string> names)
    : m_clock(clock), m_device(device), m_name(std::move(name)), m_names(std::move(names)),
      m_lastTick(clock.now()) {}

Micros InProcessLine::nowMicros() {
    const std::uint32_t tick = m_clock.now();
    m_elapsedMs += static_cast<std::uint32_t>(tick - m_lastTick);
    m_lastTick = tick;
    return static_cast<Micros>(m_elapsedMs) * 1000;
}

// No system stands behind this line: the error has a cause at most, no code and no words.
bool InProcessLine::refuse(base::SystemError::Cause cause) {
    m_error = base::SystemError();
    m_error.cause = cause;
    return false;
}

bool InProcessLine::usable() {
    if (!m_open || m_device.hungUp()) {
        return refuse(base::SystemError::Cause::kUnknown);
    }
    return true;
}

void InProcessLine::settings(Micros now, std::uint32_t baud, int byteSize, int parity,
                             int stopBits) {
    if (m_baudHistory.size() < kMaxBaudHistory) {
        m_baudHistory.push_back(baud);
    }
    m_device.lineSettings(now, baud, byteSize, parity, stopBits);
}

bool InProcessLine::open(const std::string& name, std::uint32_t baud) {
    m_name = name;
    return open(baud);
}

bool InProcessLine::open(std::uint32_t baud) {
    // The old line goes first, so its DTR and RTS drop even when it cannot be opened again.
    close();
    const Micros now = nowMicros();
    if (std::find(m_names.begin(), m_names.end(), m_name) == m_names.end()) {
        m_failedOpens++;
        m_device.note(now, "open of " + m_name + " failed: no such port");
        return refuse(base::SystemError::Cause::kNoSuchPort);
    }
    if (m_failOpens > 0) {
        m_failOpens--;
        m_failedOpens++;
        m_device.note(now, "open of " + m_name + " failed: port held by another program");
        return refuse(base::SystemError::Cause::kBusy);
    }
    m_open = true;
    m_opens++;
    m_openName = m_name;
    m_device.note(now, "open " + m_name);
    m_device.lineOpened(now);
    settings(now, baud, 8, 0, 0);
    // Both raised at once, as a port's control block asks for them.
    m_dtr = true;
    m_rts = true;
    m_device.controlLines(now, m_dtr, m_rts);
    return true;
}

void InProcessLine::close() {
    if (!m_open) {
        return;
    }
    const Micros now = nowMicros();
    // A line the device hung up has no control lines left to drop.
    if (!m_device.hungUp()) {
        m_dtr = false;
        m_device.controlLines(now, m_dtr, m_rts);
        m_rts = false;
        m_device.controlLines(now, m_dtr, m_rts);
    }
    m_open = false;
    m_closes++;
    m_dtr = false;
    m_rts = false;
    m_device.lineClosed(now);
}

bool InProcessLine::setSpeed(std::uint32_t baud) {
    if (!usable()) {
        return false;
    }
    const Micros now = nowMicros();
    settings(now, baud, 8, 0, 0);
    // What arrived at the old speed would be noise at the new one.
    m_purges++;
    m_device.purge(now);
    return true;
}

bool InProcessLine::frame(std::uint32_t baud, int byteSize, int parity, int stopBits) {
    if (!usable()) {
        return false;
    }
    settings(nowMicros(), baud, byteSize, parity, stopBits);
    return true;
}

bool InProcessLine::setControlLines(bool dtr, bool rts) {
    if (!usable()) {
        return false;
    }
    m_dtr = dtr;
    m_rts = rts;
    m_device.controlLines(nowMicros(), m_dtr, m_rts);
    return true;
}

bool InProcessLine::write(const std::string& data) {
    if (!usable()) {
        return false;
    }
    m_device.receive(nowMicros(), data.data(), data.size());
    return true;
}

std::size_t InProcessLine::waiting() {
    if (!m_open || m_device.hungUp()) {
        return 0;
    }
    return m_device.readable(nowMicros());
}

int InProcessLine::read(char* buffer, int max, std::uint32_t limitMs) {
    if (max <= 0) {
        return 0;
    }
    if (!usable()) {
        return kReadFailed;
    }
    if (waiting() == 0) {
        if (limitMs == 0) {
            return 0;
        }
        // One read of the tick counter for the start, then one per look at the input: the
        // dialog's port polls the same way, and the tests' virtual times rest on it.
        const std::uint32_t start = m_clock.getTickCount();
        while (waiting() == 0) {
            if (!usable()) {
                return kReadFailed;
            }
            if (base::TicksSince(m_clock, start) >= limitMs) {
                return 0;
            }
        }
    }
    const std::size_t count = m_device.read(nowMicros(), buffer, static_cast<std::size_t>(max));
    return count > 0 ? static_cast<int>(count) : kReadFailed;
}

bool InProcessLine::purgeInput() {
    if (!usable()) {
        return false;
    }
    m_purges++;
    m_device.purge(nowMicros());
    return true;
}

serial::Dsr InProcessLine::dsr() {
    if (!usable()) {
        return serial::Dsr::kUnknown;
    }
    ModemStatus status;
    if (!m_device.readModemStatus(nowMicros(), &status)) {
        return serial::Dsr::kUnknown;
    }
    return status.dsr ? serial::Dsr::kOn : serial::Dsr::kOff;
}

} // namespace sim

// In-process serial port: the program's comm calls served by the device model on virtual time.
#include "sim/InProcessComm.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {
constexpr std::size_t kMaxBaudHistory = 1024;
}

InProcessComm::InProcessComm(base::VirtualClock& clock, DeviceModel& device,
                             std::vector<std::string> portPaths)
    : m_clock(clock), m_device(device), m_paths(std::move(portPaths)), m_lastTick(clock.now()) {}

Micros InProcessComm::nowMicros() {
    const DWORD tick = m_clock.now();
    m_elapsedMs += static_cast<DWORD>(tick - m_lastTick);
    m_lastTick = tick;
    return static_cast<Micros>(m_elapsedMs) * 1000;
}

bool InProcessComm::valid(HANDLE h) {
    if (m_open && h == m_handle && h != nullptr) {
        return true;
    }
    m_badHandleCalls++;
    return false;
}

HANDLE InProcessComm::createFile(const char* path) {
    const Micros now = nowMicros();
    const std::string name = path != nullptr ? path : "";
    if (std::find(m_paths.begin(), m_paths.end(), name) == m_paths.end()) {
        m_failedOpens++;
        m_device.note(now, "open of " + name + " failed: no such port");
        return INVALID_HANDLE_VALUE;
    }
    if (m_failOpens > 0) {
        m_failOpens--;
        m_failedOpens++;
        m_device.note(now, "open of " + name + " failed: port held by another program");
        return INVALID_HANDLE_VALUE;
    }
    if (m_open) {
        m_failedOpens++;
        m_device.note(now, "open of " + name + " failed: already open");
        return INVALID_HANDLE_VALUE;
    }
    m_open = true;
    m_opens++;
    m_openPath = name;
    m_nextHandle += 4;
    m_handle = reinterpret_cast<HANDLE>(m_nextHandle);
    m_dtr = false;
    m_rts = false;
    m_device.note(now, "open " + name);
    m_device.lineOpened(now);
    return m_handle;
}

BOOL InProcessComm::closeHandle(HANDLE h) {
    if (!valid(h)) {
        return FALSE;
    }
    m_open = false;
    m_handle = nullptr;
    m_closes++;
    m_dtr = false;
    m_rts = false;
    m_device.lineClosed(nowMicros());
    return TRUE;
}

BOOL InProcessComm::setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    if (!valid(h) || m_device.hungUp()) {
        return FALSE;
    }
    m_inQueue = inQueue;
    m_outQueue = outQueue;
    return TRUE;
}

BOOL InProcessComm::setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) {
    if (!valid(h) || m_device.hungUp() || timeouts == nullptr) {
        return FALSE;
    }
    m_timeouts = *timeouts;
    return TRUE;
}

BOOL InProcessComm::setCommState(HANDLE h, const DCB* dcb) {
    if (!valid(h) || m_device.hungUp() || dcb == nullptr) {
        return FALSE;
    }
    m_dcb = *dcb;
    if (m_baudHistory.size() < kMaxBaudHistory) {
        m_baudHistory.push_back(dcb->BaudRate);
    }
    const Micros now = nowMicros();
    m_device.lineSettings(now, dcb->BaudRate, dcb->ByteSize, dcb->Parity, dcb->StopBits);
    // The driver raises DTR and RTS when the block asks for them to be on while open.
    const bool dtr = dcb->fDtrControl == DTR_CONTROL_ENABLE;
    const bool rts = dcb->fRtsControl == RTS_CONTROL_ENABLE;
    if (dtr != m_dtr || rts != m_rts) {
        m_dtr = dtr;
        m_rts = rts;
        m_device.controlLines(now, m_dtr, m_rts);
    }
    return TRUE;
}

BOOL InProcessComm::setCommMask(HANDLE h, DWORD mask) {
    if (!valid(h) || m_device.hungUp()) {
        return FALSE;
    }
    m_mask = mask;
    return TRUE;
}

BOOL InProcessComm::escapeCommFunction(HANDLE h, DWORD function) {
    if (!valid(h) || m_device.hungUp()) {
        return FALSE;
    }
    switch (function) {
    case SETDTR:
        m_dtr = true;
        break;
    case CLRDTR:
        m_dtr = false;
        break;
    case SETRTS:
        m_rts = true;
        break;
    case CLRRTS:
        m_rts = false;
        break;
    default:
        return FALSE;
    }
    m_device.controlLines(nowMicros(), m_dtr, m_rts);
    return TRUE;
}

BOOL InProcessComm::purgeComm(HANDLE h, DWORD flags) {
    if (!valid(h) || m_device.hungUp()) {
        return FALSE;
    }
    m_purges++;
    if ((flags & PURGE_RXCLEAR) != 0) {
        m_device.purge(nowMicros());
    }
    return TRUE;
}

BOOL InProcessComm::clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) {
    if (!valid(h) || m_device.hungUp()) {
        return FALSE;
    }
    if (errors != nullptr) {
        *errors = 0;
    }
    if (stat != nullptr) {
        std::memset(stat, 0, sizeof *stat);
        stat->cbInQue = static_cast<DWORD>(m_device.readable(nowMicros()));
    }
    return TRUE;
}

BOOL InProcessComm::readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) {
    if (read != nullptr) {
        *read = 0;
    }
    if (!valid(h) || m_device.hungUp() || (buffer == nullptr && toRead > 0)) {
        return FALSE;
    }
    const std::size_t n = m_device.read(nowMicros(), buffer, toRead);
    if (read != nullptr) {
        *read = static_cast<DWORD>(n);
    }
    return TRUE;
}

BOOL InProcessComm::writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) {
    if (written != nullptr) {
        *written = 0;
    }
    if (!valid(h) || m_device.hungUp() || (data == nullptr && toWrite > 0)) {
        return FALSE;
    }
    m_device.receive(nowMicros(), data, toWrite);
    if (written != nullptr) {
        *written = toWrite;
    }
    return TRUE;
}

BOOL InProcessComm::getCommModemStatus(HANDLE h, DWORD* status) {
    if (!valid(h) || m_device.hungUp() || status == nullptr) {
        return FALSE;
    }
    *status = m_device.dsr(nowMicros()) ? MS_DSR_ON : 0;
    return TRUE;
}

} // namespace sim

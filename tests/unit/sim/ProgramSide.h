// Test driver that works the in-process port the way the update program does: poll and read.
#pragma once
#include "base/VirtualClock.h"
#include "fw/Comm.h"
#include "sim/DeviceModel.h"
#include "sim/InProcessComm.h"
#include "sim/Protocol.h"

#include <cstring>
#include <string>

namespace simtest {

// Opens, configures, writes and polls through fw::Comm only, timing every wait on the virtual
// tick counter like the program's busy loops (each tick read lets one millisecond pass).
class ProgramSide {
public:
    ProgramSide(fw::Comm& comm, base::VirtualClock& clock) : m_comm(comm), m_clock(clock) {}

    bool open(const char* path, DWORD baud) {
        m_handle = m_comm.createFile(path);
        if (m_handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        m_comm.setupComm(m_handle, 4096, 4096);
        COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
        m_comm.setCommTimeouts(m_handle, &timeouts);
        return configure(baud);
    }
    // Line settings 8N1 at the given speed with DTR and RTS raised, then the input purged.
    bool configure(DWORD baud, BYTE byteSize = 8, BYTE parity = NOPARITY) {
        DCB dcb;
        std::memset(&dcb, 0, sizeof dcb);
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = baud;
        dcb.fBinary = 1;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.ByteSize = byteSize;
        dcb.Parity = parity;
        dcb.StopBits = ONESTOPBIT;
        if (!m_comm.setCommState(m_handle, &dcb)) {
            return false;
        }
        return m_comm.purgeComm(m_handle, PURGE_RXCLEAR) != FALSE;
    }
    void close() {
        m_comm.escapeCommFunction(m_handle, CLRDTR);
        m_comm.escapeCommFunction(m_handle, CLRRTS);
        m_comm.closeHandle(m_handle);
    }
    bool write(const std::string& text) {
        DWORD written = 0;
        return m_comm.writeFile(m_handle, text.data(), static_cast<DWORD>(text.size()), &written) &&
               written == text.size();
    }
    bool purge() { return m_comm.purgeComm(m_handle, PURGE_RXCLEAR) != FALSE; }
    DWORD waiting() {
        COMSTAT stat;
        DWORD errors = 0;
        if (!m_comm.clearCommError(m_handle, &errors, &stat)) {
            return 0;
        }
        return stat.cbInQue;
    }
    // The next character within limitMs, or -1 when none comes.
    int next(DWORD limitMs = 2000) {
        const DWORD start = m_clock.getTickCount();
        while (m_clock.getTickCount() - start < limitMs) {
            if (waiting() > 0) {
                char c = 0;
                DWORD got = 0;
                if (m_comm.readFile(m_handle, &c, 1, &got) && got == 1) {
                    m_lastAt = m_clock.now();
                    return static_cast<unsigned char>(c);
                }
                return -1;
            }
        }
        return -1;
    }
    // Every character that arrives within ms.
    std::string collect(DWORD ms) {
        std::string out;
        const DWORD start = m_clock.getTickCount();
        while (m_clock.getTickCount() - start < ms && out.size() < 100000) {
            if (waiting() > 0) {
                char c = 0;
                DWORD got = 0;
                if (m_comm.readFile(m_handle, &c, 1, &got) && got == 1) {
                    out += c;
                }
            }
        }
        return out;
    }
    // Everything readable at this moment, in one read, without letting time pass.
    std::string drain() {
        std::string out(waiting(), '\0');
        DWORD got = 0;
        if (!out.empty() &&
            !m_comm.readFile(m_handle, &out[0], static_cast<DWORD>(out.size()), &got)) {
            got = 0;
        }
        out.resize(got);
        return out;
    }
    // Up to n characters, waiting at most limitMs for each.
    std::string take(std::size_t n, DWORD limitMs = 2000) {
        std::string out;
        while (out.size() < n) {
            const int c = next(limitMs);
            if (c < 0) {
                break;
            }
            out += static_cast<char>(c);
        }
        return out;
    }
    void pause(DWORD ms) {
        const DWORD start = m_clock.getTickCount();
        while (m_clock.getTickCount() - start < ms) {
        }
    }
    // DSR as the modem status shows it; FALSE calls count as DSR on, as the program takes them.
    bool dsr() {
        DWORD status = 0;
        if (!m_comm.getCommModemStatus(m_handle, &status)) {
            return true;
        }
        return (status & MS_DSR_ON) != 0;
    }
    // Milliseconds until DSR drops, polling up to limitMs; -1 when it stays on.
    long waitDsrOff(DWORD limitMs = 2000) {
        const DWORD start = m_clock.getTickCount();
        while (true) {
            const DWORD elapsed = m_clock.getTickCount() - start;
            if (elapsed >= limitMs) {
                return -1;
            }
            if (!dsr()) {
                return static_cast<long>(elapsed);
            }
        }
    }
    // The boot loader's greeting as the program takes it: pause, purge, request, reply.
    std::string identify() {
        pause(100);
        purge();
        write(sim::kIdentificationRequest);
        return take(15, 3000);
    }
    DWORD lastCharAt() const { return m_lastAt; }
    HANDLE handle() const { return m_handle; }

private:
    fw::Comm& m_comm;
    base::VirtualClock& m_clock;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_lastAt = 0;
};

// A device, its port and the program side on one virtual clock.
struct Bench {
    explicit Bench(sim::DeviceConfig config = sim::DeviceConfig())
        : device(std::move(config)), comm(clock, device), program(comm, clock) {}
    base::VirtualClock clock;
    sim::DeviceModel device;
    sim::InProcessComm comm;
    ProgramSide program;
};

inline const char* kPort = "\\\\.\\COM3";
inline const std::string kGreeting = std::string("KYST-SM-2.10\r?") + sim::kXon;
inline const std::string kRowDone = std::string(1, sim::kXoff) + "~" + sim::kXon;

} // namespace simtest

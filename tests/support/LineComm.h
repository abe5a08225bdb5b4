// The comm seam served by a serial line: the dialog's port calls carried out on a line, so that
// the dialog runs against whatever line a test has (the simulated device, a scripted one).
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fw/Comm.h"
#include "serial/Line.h"

// "\\.\" and the line's name opens the line, at 9600 baud as a port opens; a port's control
// block with another speed changes the line's. One handle at a time: calls on any other handle
// fail and are counted. What the line has received is taken into an input queue of the driver's
// kind by reads that never wait, whenever the program asks how much has come or reads; the queue
// is bounded, and what does not fit stays on the line. Queue sizes, time-outs, the event mask, the
// block and DTR and RTS are only recorded: the line raises DTR and RTS as it opens and drops them
// as it closes.
class LineComm : public fw::Comm {
public:
    static constexpr std::size_t kInputQueueBytes = 64 * 1024;

    explicit LineComm(serial::Line& line) : m_line(line) {}

    HANDLE createFile(const char* path) override {
        const std::string wanted = path != nullptr ? path : "";
        if (wanted != "\\\\.\\" + m_line.name()) {
            m_failedOpens++;
            return refuse(base::SystemError::Cause::kNoSuchPort);
        }
        if (m_open) {
            m_failedOpens++; // no sharing
            return refuse(base::SystemError::Cause::kBusy);
        }
        if (!m_line.open(9600)) {
            m_failedOpens++;
            m_ownError = false;
            return INVALID_HANDLE_VALUE;
        }
        m_open = true;
        m_opens++;
        m_openPath = wanted;
        m_speed = 9600;
        m_nextHandle += 4;
        m_handle = reinterpret_cast<HANDLE>(m_nextHandle);
        m_input.clear();
        m_dtr = false;
        m_rts = false;
        return m_handle;
    }

    BOOL closeHandle(HANDLE h) override {
        if (!valid(h)) {
            return FALSE;
        }
        m_line.close();
        m_open = false;
        m_handle = nullptr;
        m_closes++;
        m_input.clear();
        m_dtr = false;
        m_rts = false;
        return TRUE;
    }

    BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) override {
        if (!valid(h)) {
            return FALSE;
        }
        m_inQueue = inQueue;
        m_outQueue = outQueue;
        return TRUE;
    }

    BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) override {
        if (!valid(h) || timeouts == nullptr) {
            return FALSE;
        }
        m_timeouts = *timeouts;
        return TRUE;
    }

    BOOL setCommState(HANDLE h, const DCB* dcb) override {
        if (!valid(h) || dcb == nullptr) {
            return FALSE;
        }
        if (dcb->BaudRate != m_speed) {
            if (!m_line.setSpeed(dcb->BaudRate)) {
                m_ownError = false;
                return FALSE;
            }
            m_speed = dcb->BaudRate;
        }
        m_dcb = *dcb;
        if (m_baudHistory.size() < kMaxBaudHistory) {
            m_baudHistory.push_back(dcb->BaudRate);
        }
        m_dtr = dcb->fDtrControl == DTR_CONTROL_ENABLE;
        m_rts = dcb->fRtsControl == RTS_CONTROL_ENABLE;
        return TRUE;
    }

    BOOL setCommMask(HANDLE h, DWORD mask) override {
        if (!valid(h)) {
            return FALSE;
        }
        m_mask = mask;
        return TRUE;
    }

    BOOL escapeCommFunction(HANDLE h, DWORD function) override {
        if (!valid(h)) {
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
        return TRUE;
    }

    BOOL purgeComm(HANDLE h, DWORD flags) override {
        if (!valid(h)) {
            return FALSE;
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            m_input.clear();
            if (!m_line.purgeInput()) {
                m_ownError = false;
                return FALSE;
            }
        }
        m_purges++;
        return TRUE;
    }

    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override {
        if (!valid(h) || !takeFromLine()) {
            return FALSE;
        }
        if (errors != nullptr) {
            *errors = 0;
        }
        if (stat != nullptr) {
            *stat = COMSTAT{};
            stat->cbInQue = static_cast<DWORD>(m_input.size());
        }
        return TRUE;
    }

    BOOL readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) override {
        if (read != nullptr) {
            *read = 0;
        }
        if (!valid(h) || (buffer == nullptr && toRead > 0) || !takeFromLine()) {
            return FALSE;
        }
        const std::size_t n = std::min<std::size_t>(toRead, m_input.size());
        std::copy_n(m_input.begin(), n, static_cast<char*>(buffer));
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(n));
        if (read != nullptr) {
            *read = static_cast<DWORD>(n);
        }
        return TRUE;
    }

    BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) override {
        if (written != nullptr) {
            *written = 0;
        }
        if (!valid(h) || (data == nullptr && toWrite > 0)) {
            return FALSE;
        }
        const std::string bytes(static_cast<const char*>(data), toWrite);
        if (!m_line.write(bytes)) {
            m_ownError = false;
            return FALSE;
        }
        if (written != nullptr) {
            *written = toWrite;
        }
        return TRUE;
    }

    BOOL getCommModemStatus(HANDLE h, DWORD* status) override {
        if (!valid(h) || status == nullptr) {
            return FALSE;
        }
        const serial::Dsr dsr = m_line.dsr();
        if (dsr == serial::Dsr::kUnknown) {
            m_ownError = false;
            return FALSE;
        }
        *status = dsr == serial::Dsr::kOn ? MS_DSR_ON : 0;
        return TRUE;
    }

    // The line's, but for a path that is not the line's or a second open, refused here.
    base::SystemError lastError() const override {
        return m_ownError ? m_error : m_line.lastError();
    }

    bool isOpen() const { return m_open; }
    const std::string& openPath() const { return m_openPath; }
    int openCount() const { return m_opens; }
    int failedOpenCount() const { return m_failedOpens; }
    int closeCount() const { return m_closes; }
    int badHandleCalls() const { return m_badHandleCalls; }
    int purgeCount() const { return m_purges; }
    // What the program set (0 / false before any setting).
    DWORD baudRate() const { return m_dcb.BaudRate; }
    const DCB& lastDcb() const { return m_dcb; }
    const COMMTIMEOUTS& timeouts() const { return m_timeouts; }
    DWORD inQueueSize() const { return m_inQueue; }
    DWORD outQueueSize() const { return m_outQueue; }
    DWORD commMask() const { return m_mask; }
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }
    // Every speed of a block the line took, in order (the first 1024).
    const std::vector<DWORD>& baudHistory() const { return m_baudHistory; }
    // Characters taken from the line and not yet read by the program.
    std::size_t queued() const { return m_input.size(); }

private:
    static constexpr std::size_t kMaxBaudHistory = 1024;

    bool valid(HANDLE h) {
        if (m_open && h == m_handle && h != nullptr) {
            return true;
        }
        m_badHandleCalls++;
        return false;
    }

    HANDLE refuse(base::SystemError::Cause cause) {
        m_error = base::SystemError();
        m_error.cause = cause;
        m_ownError = true;
        return INVALID_HANDLE_VALUE;
    }

    // Fills the queue with what the line has now; false when the line's read failed.
    bool takeFromLine() {
        char chunk[512];
        while (m_input.size() < kInputQueueBytes) {
            const std::size_t room = std::min(sizeof chunk, kInputQueueBytes - m_input.size());
            const int n = m_line.read(chunk, static_cast<int>(room), 0);
            if (n == serial::Line::kReadFailed) {
                m_ownError = false;
                return false;
            }
            if (n <= 0) {
                break;
            }
            m_input.insert(m_input.end(), chunk, chunk + n);
        }
        return true;
    }

    serial::Line& m_line;
    bool m_open = false;
    HANDLE m_handle = nullptr;
    std::uintptr_t m_nextHandle = 0x5E10;
    std::string m_openPath;
    DWORD m_speed = 0;
    std::deque<char> m_input;
    int m_opens = 0;
    int m_failedOpens = 0;
    int m_closes = 0;
    int m_badHandleCalls = 0;
    int m_purges = 0;
    DCB m_dcb{};
    COMMTIMEOUTS m_timeouts{};
    DWORD m_inQueue = 0;
    DWORD m_outQueue = 0;
    DWORD m_mask = 0;
    bool m_dtr = false;
    bool m_rts = false;
    std::vector<DWORD> m_baudHistory;
    base::SystemError m_error;
    bool m_ownError = false;
};

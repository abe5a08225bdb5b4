// A lean stand-in for the comm seam: one port whose device answers the program's writes by script.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fw/Comm.h"

namespace fuzzing {

// One port, COM1. The device queues an answer when the program writes a given text in one write,
// and may drop DSR at that moment. Everything is counted, nothing is logged per call, so that a
// run with long time-outs stays cheap. Calls on a handle that is not open fail and are counted:
// the program should never make them.
class ScriptedLine : public fw::Comm {
public:
    static constexpr const char* kPath = "\\\\.\\COM1";

    struct Answer {
        std::string trigger; // the program's write that sets it off
        std::string bytes;   // what the device then sends
        bool dropDsr;        // whether the device drops DSR at that moment
        bool fired;
    };

    void onWrite(const std::string& trigger, const std::string& bytes, bool dropDsr = false) {
        m_answers.push_back({trigger, bytes, dropDsr, false});
    }
    void setModemStatus(DWORD status) { m_modemStatus = status; }

    bool isOpen() const { return m_open; }
    int opens() const { return m_opens; }
    int closes() const { return m_closes; }
    int callsWhileClosed() const { return m_callsWhileClosed; }
    // Every byte the program wrote, in order, and the single writes.
    const std::string& written() const { return m_written; }
    const std::vector<std::string>& writes() const { return m_writes; }

    HANDLE createFile(const char* path) override {
        if (m_open || std::string(path) != kPath) {
            return INVALID_HANDLE_VALUE;
        }
        m_open = true;
        m_opens++;
        return handle();
    }
    BOOL closeHandle(HANDLE h) override {
        if (!usable(h)) {
            return FALSE;
        }
        m_open = false;
        m_closes++;
        m_input.clear();
        return TRUE;
    }
    BOOL setupComm(HANDLE h, DWORD, DWORD) override { return usable(h); }
    BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS*) override { return usable(h); }
    BOOL setCommState(HANDLE h, const DCB*) override { return usable(h); }
    BOOL setCommMask(HANDLE h, DWORD) override { return usable(h); }
    BOOL escapeCommFunction(HANDLE h, DWORD) override { return usable(h); }
    BOOL purgeComm(HANDLE h, DWORD flags) override {
        if (!usable(h)) {
            return FALSE;
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            m_input.clear();
        }
        return TRUE;
    }
    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override {
        if (!usable(h)) {
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
        if (!usable(h)) {
            return FALSE;
        }
        DWORD n = 0;
        char* out = static_cast<char*>(buffer);
        while (n < toRead && !m_input.empty()) {
            out[n++] = m_input.front();
            m_input.pop_front();
        }
        *read = n;
        return TRUE;
    }
    BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) override {
        if (!usable(h)) {
            return FALSE;
        }
        const std::string bytes(static_cast<const char*>(data), toWrite);
        m_written += bytes;
        m_writes.push_back(bytes);
        *written = toWrite;
        for (Answer& a : m_answers) {
            if (!a.fired && a.trigger == bytes) {
                a.fired = true;
                m_input.insert(m_input.end(), a.bytes.begin(), a.bytes.end());
                if (a.dropDsr) {
                    m_modemStatus &= ~static_cast<DWORD>(MS_DSR_ON);
                }
                break;
            }
        }
        return TRUE;
    }
    BOOL getCommModemStatus(HANDLE h, DWORD* status) override {
        if (!usable(h)) {
            return FALSE;
        }
        *status = m_modemStatus;
        return TRUE;
    }

private:
    static HANDLE handle() { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x120)); }
    bool usable(HANDLE h) {
        if (m_open && h == handle()) {
            return true;
        }
        m_callsWhileClosed++;
        return false;
    }

    std::vector<Answer> m_answers;
    std::deque<char> m_input;
    DWORD m_modemStatus = 0;
    bool m_open = false;
    int m_opens = 0;
    int m_closes = 0;
    int m_callsWhileClosed = 0;
    std::string m_written;
    std::vector<std::string> m_writes;
};

} // namespace fuzzing

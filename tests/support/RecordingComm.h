// A recording stand-in for the comm seam: logs every call with its values and plays simple ports.
#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fw/Comm.h"

// One call made through the seam, with the values it carried.
struct CommCall {
    std::string name;           // the seam operation, e.g. "setCommState"
    HANDLE handle = nullptr;    // the handle it was given (createFile: the one it returned)
    std::string path;           // createFile: the device path
    std::vector<DWORD> numbers; // setupComm: in, out; setCommMask: mask; escapeCommFunction:
                                // function; purgeComm: flags; readFile/writeFile: the count asked
    DCB dcb{};                  // setCommState: a copy of the block as it was handed over
    COMMTIMEOUTS timeouts{};    // setCommTimeouts: a copy of the values
    std::string bytes;          // writeFile: the bytes given; readFile: the bytes delivered
    BOOL result = FALSE;        // what the call returned (createFile: TRUE when it opened)
};

// Ports are named by path and must be added before they open; every other path fails to open.
// A port that is open cannot be opened a second time, as with an unshared Windows handle.
// Calls on a handle that is not open fail. A failing call leaves its output values untouched.
class RecordingComm : public fw::Comm {
public:
    // Makes the path openable and returns the handle that createFile will give for it.
    HANDLE addPort(const std::string& path) {
        auto it = m_ports.find(path);
        if (it != m_ports.end()) {
            return it->second;
        }
        HANDLE h =
            reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x100 + 0x10 * m_ports.size()));
        m_ports[path] = h;
        return h;
    }

    // Bytes the line has delivered, waiting to be read.
    void queueInput(const std::string& bytes) {
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    }
    std::size_t inputLeft() const { return m_input.size(); }

    void setModemStatus(DWORD status) { m_modemStatus = status; }

    // From now on every call of that name returns FALSE (createFile: INVALID_HANDLE_VALUE).
    void failCall(const std::string& name) { m_failing.insert(name); }

    bool isOpen(HANDLE h) const { return m_open.count(h) != 0; }

    const std::vector<CommCall>& calls() const { return m_calls; }
    std::vector<std::string> callNames() const {
        std::vector<std::string> names;
        for (const CommCall& c : m_calls) {
            names.push_back(c.name);
        }
        return names;
    }
    // The calls of that name, in order.
    std::vector<CommCall> callsNamed(const std::string& name) const {
        std::vector<CommCall> found;
        std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(found),
                     [&](const CommCall& c) { return c.name == name; });
        return found;
    }
    void clearCalls() { m_calls.clear(); }

    HANDLE createFile(const char* path) override {
        CommCall& c = record("createFile", nullptr);
        c.path = path;
        auto it = m_ports.find(path);
        if (failing("createFile") || it == m_ports.end() || isOpen(it->second)) {
            c.handle = INVALID_HANDLE_VALUE;
            return INVALID_HANDLE_VALUE;
        }
        m_open.insert(it->second);
        c.handle = it->second;
        c.result = TRUE;
        return it->second;
    }

    BOOL closeHandle(HANDLE h) override {
        CommCall& c = record("closeHandle", h);
        if (!usable(c)) {
            return FALSE;
        }
        m_open.erase(h);
        return c.result = TRUE;
    }

    BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) override {
        CommCall& c = record("setupComm", h);
        c.numbers = {inQueue, outQueue};
        return c.result = usable(c);
    }

    BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) override {
        CommCall& c = record("setCommTimeouts", h);
        c.timeouts = *timeouts;
        return c.result = usable(c);
    }

    BOOL setCommState(HANDLE h, const DCB* dcb) override {
        CommCall& c = record("setCommState", h);
        c.dcb = *dcb;
        return c.result = usable(c);
    }

    BOOL setCommMask(HANDLE h, DWORD mask) override {
        CommCall& c = record("setCommMask", h);
        c.numbers = {mask};
        return c.result = usable(c);
    }

    BOOL escapeCommFunction(HANDLE h, DWORD function) override {
        CommCall& c = record("escapeCommFunction", h);
        c.numbers = {function};
        return c.result = usable(c);
    }

    BOOL purgeComm(HANDLE h, DWORD flags) override {
        CommCall& c = record("purgeComm", h);
        c.numbers = {flags};
        if (!usable(c)) {
            return FALSE;
        }
        if (flags & PURGE_RXCLEAR) {
            m_input.clear();
        }
        return c.result = TRUE;
    }

    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override {
        CommCall& c = record("clearCommError", h);
        if (!usable(c)) {
            return FALSE;
        }
        if (errors != nullptr) {
            *errors = 0;
        }
        if (stat != nullptr) {
            *stat = COMSTAT{};
            stat->cbInQue = static_cast<DWORD>(m_input.size());
        }
        return c.result = TRUE;
    }

    BOOL readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) override {
        CommCall& c = record("readFile", h);
        c.numbers = {toRead};
        if (!usable(c)) {
            return FALSE;
        }
        std::size_t n = std::min<std::size_t>(toRead, m_input.size());
        c.bytes.assign(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(n));
        std::copy(c.bytes.begin(), c.bytes.end(), static_cast<char*>(buffer));
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(n));
        *read = static_cast<DWORD>(n);
        return c.result = TRUE;
    }

    BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) override {
        CommCall& c = record("writeFile", h);
        c.numbers = {toWrite};
        if (toWrite != 0) {
            c.bytes.assign(static_cast<const char*>(data), toWrite);
        }
        if (!usable(c)) {
            return FALSE;
        }
        *written = toWrite;
        return c.result = TRUE;
    }

    BOOL getCommModemStatus(HANDLE h, DWORD* status) override {
        CommCall& c = record("getCommModemStatus", h);
        if (!usable(c)) {
            return FALSE;
        }
        *status = m_modemStatus;
        return c.result = TRUE;
    }

private:
    CommCall& record(const char* name, HANDLE h) {
        CommCall c;
        c.name = name;
        c.handle = h;
        m_calls.push_back(c);
        return m_calls.back();
    }
    bool failing(const std::string& name) const { return m_failing.count(name) != 0; }
    // A call goes through only on an open handle and when the test has not made it fail.
    bool usable(const CommCall& c) const { return isOpen(c.handle) && !failing(c.name); }

    std::map<std::string, HANDLE> m_ports;
    std::set<HANDLE> m_open;
    std::set<std::string> m_failing;
    std::deque<char> m_input;
    DWORD m_modemStatus = 0;
    std::vector<CommCall> m_calls;
};

// console::TraceComm: a comm decorator that logs, with time stamps, everything said on the line.
#pragma once
#include <cstdio>
#include <string>

#include "fw/Clock.h"
#include "fw/Comm.h"

namespace console {

// Passes every call to the comm it wraps and returns its result. Writes one line per event to
// the log: the time in seconds since the log was opened, then what happened:
//   open \\.\COM3 ok | open \\.\COM3 failed | close | line 9600 8N1 | purge
//   escape CLRDTR | tx "<V" | rx "\rKYST-SM-00,123456" | dsr on | dsr off | modem status
//   unavailable
// Sent text is logged as it is written; received characters are gathered into one rx line until
// anything else happens or 20 ms pass without one. Characters outside printable ASCII are
// written as \r, \n, \t, \\, \" or \xHH. The modem status is polled in tight loops, so only its
// changes are logged. Byte counts and queue queries are not logged.
class TraceComm : public fw::Comm {
public:
    TraceComm(fw::Comm& inner, fw::Clock& clock);
    // Flushes and closes the log.
    ~TraceComm() override;
    TraceComm(const TraceComm&) = delete;
    TraceComm& operator=(const TraceComm&) = delete;

    // Creates (or empties) the log file; false when it cannot be written.
    bool openLog(const std::string& path);

    HANDLE createFile(const char* path) override;
    BOOL closeHandle(HANDLE h) override;
    BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) override;
    BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) override;
    BOOL setCommState(HANDLE h, const DCB* dcb) override;
    BOOL setCommMask(HANDLE h, DWORD mask) override;
    BOOL escapeCommFunction(HANDLE h, DWORD function) override;
    BOOL purgeComm(HANDLE h, DWORD flags) override;
    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override;
    BOOL readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) override;
    BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) override;
    BOOL getCommModemStatus(HANDLE h, DWORD* status) override;

    // Text with the characters outside printable ASCII escaped, in double quotes.
    static std::string Quote(const char* data, std::size_t size);

private:
    void event(DWORD tick, const std::string& what);
    void flushReceived();

    fw::Comm& m_inner;
    fw::Clock& m_clock;
    std::FILE* m_log = nullptr;
    DWORD m_start = 0;
    std::string m_received;
    DWORD m_receivedTick = 0;
    DWORD m_lastReceivedTick = 0;
    int m_modemState = -1; // -1 not read yet, 0 DSR off, 1 DSR on, 2 unavailable
};

} // namespace console

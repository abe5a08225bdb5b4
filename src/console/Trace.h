// console::Trace: the --trace log of one update: a header, every character said on the line with
// its time, the rows by number, and the outcome.
#pragma once
#include <cstdio>
#include <string>

#include "fw/Clock.h"
#include "fw/Comm.h"
#include "update/UpdateObserver.h"

namespace console {

// A comm decorator (every call passed on, its result returned) and an observer of the update
// (for the row numbers). One line per event: the seconds since the trace began, then
//   open \\.\COM3 ok | open \\.\COM3 failed: <reason> | close | line 9600 8N1 | purge
//   tx "<V" | tx row 12 ":10..." | rx "\rKYST-SM-00,123456" | dsr on | dsr off
//   modem status unavailable | read failed: <reason>
// Received characters are gathered into one rx line until anything else happens or 20 ms pass
// without one; every byte outside printable ASCII is escaped. The modem status is logged when
// it changes. DTR and RTS changes are logged where the line has modem controls; where it has
// none (a pty) their failures are not noise worth a line.
class Trace : public fw::Comm, public update::UpdateObserver {
public:
    Trace(fw::Comm& inner, fw::Clock& clock);
    // Flushes and closes the log.
    ~Trace() override;
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // Creates (or empties) the log file and writes the header lines, each prefixed with "# ";
    // false when the file cannot be written.
    bool open(const std::string& path, const std::string& header);
    // The last line: "# outcome: ..."; the log is closed.
    void close(const std::string& outcome);

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
    fw::SystemError lastError() const override { return m_inner.lastError(); }

    void stageChanged(update::Stage stage) override;
    void rowSent(int row, int total, std::size_t rowLength) override;

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
    int m_modemState = -1;  // -1 not read yet, 0 DSR off, 1 DSR on, 2 unavailable
    bool m_rowNext = false; // the next write is a row of the file
    int m_rowsSent = 0;
};

} // namespace console

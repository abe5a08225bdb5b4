// fw::win32::WinComm: the comm seam straight onto the Windows kernel's communications functions.
#pragma once
#include "fw/Comm.h"

namespace fw::win32 {

// Every call goes to the Windows function of the same name and returns its result. Ports are
// opened for reading and writing, unshared, without overlapped I/O. The read time-outs are
// passed on as given, so the blocking form (interval and multiplier MAXDWORD, constant N) makes
// ReadFile wait in the kernel up to N ms for the first byte. A failed call keeps GetLastError's
// code for lastError.
class WinComm : public Comm {
public:
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
    base::SystemError lastError() const override { return m_lastError; }

private:
    // Keeps GetLastError's code when ok is FALSE; returns ok.
    BOOL note(BOOL ok);

    base::SystemError m_lastError;
};

} // namespace fw::win32

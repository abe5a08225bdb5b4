// The communications seam: the kernel's serial-port functions on one handle, as CSerialPort uses
// them.
#pragma once
#include "base/SystemError.h"
#include "fw/WinTypes.h"

namespace fw {

// Each operation mirrors the Windows function of the same name and returns what it would.
class Comm {
public:
    virtual ~Comm() = default;
    // Opens a port by device path for reading and writing, without sharing;
    // INVALID_HANDLE_VALUE when it cannot be opened.
    virtual HANDLE createFile(const char* path) = 0;
    virtual BOOL closeHandle(HANDLE h) = 0;
    virtual BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL setCommState(HANDLE h, const DCB* dcb) = 0;
    virtual BOOL setCommMask(HANDLE h, DWORD mask) = 0;
    virtual BOOL escapeCommFunction(HANDLE h, DWORD function) = 0;
    virtual BOOL purgeComm(HANDLE h, DWORD flags) = 0;
    // Fills stat->cbInQue with the count of received bytes not yet read; clears line errors.
    virtual BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) = 0;
    virtual BOOL readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) = 0;
    virtual BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) = 0;
    virtual BOOL getCommModemStatus(HANDLE h, DWORD* status) = 0;

    // Why the last failed call of this object failed (GetLastError); unknown where the backend
    // cannot tell.
    virtual base::SystemError lastError() const { return base::SystemError(); }
};

} // namespace fw

// The communications seam: the kernel's serial-port functions on one handle, as CSerialPort uses
// them.
#pragma once
#include <string>

#include "fw/WinTypes.h"

namespace fw {

// Why a call on a port failed, as the operating system put it.
struct SystemError {
    // What the failure means for a user, where the system's code tells it.
    enum class Cause {
        kUnknown,      // no reason known, or one of no particular meaning to a user
        kNoSuchPort,   // nothing answers to the name or path
        kAccessDenied, // the user may not open it
        kBusy,         // another program holds it
        kNotASerialPort,
    };
    Cause cause = Cause::kUnknown;
    long code = 0;    // the system's own number (errno, or GetLastError on Windows); 0 when none
    std::string text; // the system's own words for it; empty when none
};

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
    virtual SystemError lastError() const { return SystemError(); }
};

} // namespace fw

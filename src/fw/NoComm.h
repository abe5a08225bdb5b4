// A comm service with no port behind it: every call fails, as on a machine without the port.
#pragma once
#include "fw/Comm.h"

namespace fw {

class NoComm : public Comm {
public:
    HANDLE createFile(const char*) override { return INVALID_HANDLE_VALUE; }
    BOOL closeHandle(HANDLE) override { return FALSE; }
    BOOL setupComm(HANDLE, DWORD, DWORD) override { return FALSE; }
    BOOL setCommTimeouts(HANDLE, const COMMTIMEOUTS*) override { return FALSE; }
    BOOL setCommState(HANDLE, const DCB*) override { return FALSE; }
    BOOL setCommMask(HANDLE, DWORD) override { return FALSE; }
    BOOL escapeCommFunction(HANDLE, DWORD) override { return FALSE; }
    BOOL purgeComm(HANDLE, DWORD) override { return FALSE; }
    BOOL clearCommError(HANDLE, DWORD*, COMSTAT*) override { return FALSE; }
    BOOL readFile(HANDLE, void*, DWORD, DWORD*) override { return FALSE; }
    BOOL writeFile(HANDLE, const void*, DWORD, DWORD*) override { return FALSE; }
    BOOL getCommModemStatus(HANDLE, DWORD*) override { return FALSE; }
};

} // namespace fw

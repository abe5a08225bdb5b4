// fw::win32::WinComm: passes each comm call to the Windows kernel function of the same name.
#include "fw/win32/WinComm.h"

#include "base/win32/SystemErrorFromCode.h"

namespace fw::win32 {

BOOL WinComm::note(BOOL ok) {
    if (!ok) {
        m_lastError = base::SystemErrorFromCode(::GetLastError());
    }
    return ok;
}

HANDLE WinComm::createFile(const char* path) {
    // No sharing: a port held by another program fails here instead of being shared with it.
    const HANDLE h =
        ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    note(h != INVALID_HANDLE_VALUE);
    return h;
}

BOOL WinComm::closeHandle(HANDLE h) {
    return note(::CloseHandle(h));
}

BOOL WinComm::setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    return note(::SetupComm(h, inQueue, outQueue));
}

// The kernel takes these blocks by non-const pointer but only reads them.
BOOL WinComm::setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) {
    return note(::SetCommTimeouts(h, const_cast<COMMTIMEOUTS*>(timeouts)));
}

BOOL WinComm::setCommState(HANDLE h, const DCB* dcb) {
    return note(::SetCommState(h, const_cast<DCB*>(dcb)));
}

BOOL WinComm::setCommMask(HANDLE h, DWORD mask) {
    return note(::SetCommMask(h, mask));
}

BOOL WinComm::escapeCommFunction(HANDLE h, DWORD function) {
    return note(::EscapeCommFunction(h, function));
}

BOOL WinComm::purgeComm(HANDLE h, DWORD flags) {
    return note(::PurgeComm(h, flags));
}

BOOL WinComm::clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) {
    return note(::ClearCommError(h, errors, stat));
}

BOOL WinComm::readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) {
    return note(::ReadFile(h, buffer, toRead, read, nullptr));
}

BOOL WinComm::writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) {
    return note(::WriteFile(h, data, toWrite, written, nullptr));
}

BOOL WinComm::getCommModemStatus(HANDLE h, DWORD* status) {
    return note(::GetCommModemStatus(h, status));
}

} // namespace fw::win32

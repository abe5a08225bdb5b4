// fw::win32::WinComm: passes each comm call to the Windows kernel function of the same name.
#include "fw/win32/WinComm.h"

namespace fw::win32 {

base::SystemError WinComm::ErrorFromCode(DWORD code) {
    base::SystemError e;
    e.code = static_cast<long>(code);
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        e.cause = base::SystemError::Cause::kNoSuchPort;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A COM port is opened without sharing: Windows refuses a second opener with "access
        // denied", so that is how a port held by another program shows.
        e.cause = base::SystemError::Cause::kBusy;
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        e.cause = base::SystemError::Cause::kNotASerialPort;
        break;
    default:
        break;
    }
    char text[512] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, text, sizeof text, nullptr);
    e.text.assign(text, n);
    while (!e.text.empty() && (e.text.back() == '\n' || e.text.back() == '\r' ||
                               e.text.back() == ' ' || e.text.back() == '.')) {
        e.text.pop_back();
    }
    return e;
}

BOOL WinComm::note(BOOL ok) {
    if (!ok) {
        m_lastError = ErrorFromCode(::GetLastError());
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

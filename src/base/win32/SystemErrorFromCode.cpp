// A Windows error code as a SystemError: the cause a user can act on, with the system's text.
#include "base/win32/SystemErrorFromCode.h"

#include <windows.h>

namespace base {

SystemError SystemErrorFromCode(unsigned long code) {
    SystemError e;
    e.code = static_cast<long>(code);
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        e.cause = SystemError::Cause::kNoSuchPort;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A COM port is opened without sharing: Windows refuses a second opener with "access
        // denied", so that is how a port held by another program shows.
        e.cause = SystemError::Cause::kBusy;
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        e.cause = SystemError::Cause::kNotASerialPort;
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

} // namespace base

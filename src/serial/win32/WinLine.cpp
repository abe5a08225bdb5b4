// The Windows serial line.
#include "serial/win32/WinLine.h"

#include <algorithm>
#include <cstring>

#include "fw/win32/WinComm.h"

namespace serial::win32 {

WinLine::WinLine(std::string name) : m_name(std::move(name)) {}

WinLine::~WinLine() {
    close();
}

bool WinLine::fail() {
    m_error = fw::win32::WinComm::ErrorFromCode(::GetLastError());
    return false;
}

bool WinLine::open(std::uint32_t baud) {
    close();
    // The device namespace reaches every port, COM10 and above included.
    const std::string path = "\\\\.\\" + m_name;
    m_handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        return fail();
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD; // reads return at once until a wait is asked for
    timeouts.WriteTotalTimeoutConstant = kWriteLimitMs;
    bool ok = ::SetupComm(m_handle, 4096, 4096) && ::GetCommState(m_handle, &dcb);
    if (ok) {
        dcb.BaudRate = baud;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fAbortOnError = FALSE;
        ok = ::SetCommState(m_handle, &dcb) && ::SetCommTimeouts(m_handle, &timeouts) &&
             ::PurgeComm(m_handle, PURGE_RXCLEAR);
    }
    if (!ok) {
        fail();
        ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return false;
    }
    m_readWaitMs = 0;
    m_readAhead.clear();
    return true;
}

void WinLine::close() {
    if (m_handle == INVALID_HANDLE_VALUE) {
        return;
    }
    ::EscapeCommFunction(m_handle, CLRDTR);
    ::EscapeCommFunction(m_handle, CLRRTS);
    ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_readAhead.clear();
}

bool WinLine::setSpeed(std::uint32_t baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_handle, &dcb)) {
        return fail();
    }
    dcb.BaudRate = baud;
    if (!::SetCommState(m_handle, &dcb)) {
        return fail();
    }
    return purgeInput();
}

bool WinLine::write(const std::string& data) {
    DWORD written = 0;
    if (!::WriteFile(m_handle, data.data(), static_cast<DWORD>(data.size()), &written, nullptr)) {
        return fail();
    }
    if (written != data.size()) {
        m_error = fw::win32::WinComm::ErrorFromCode(ERROR_TIMEOUT);
        return false;
    }
    return true;
}

bool WinLine::setReadWait(DWORD limitMs) {
    if (limitMs == m_readWaitMs) {
        return true;
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = limitMs == 0 ? 0 : MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = limitMs;
    timeouts.WriteTotalTimeoutConstant = kWriteLimitMs;
    if (!::SetCommTimeouts(m_handle, &timeouts)) {
        return fail();
    }
    m_readWaitMs = limitMs;
    return true;
}

int WinLine::read(char* buffer, int max, std::uint32_t limitMs) {
    if (max <= 0) {
        return 0;
    }
    if (!m_readAhead.empty()) {
        return m_readAhead.take(buffer, max);
    }
    // MAXDWORD as the constant would make the wait endless.
    if (!setReadWait(std::min<DWORD>(limitMs, MAXDWORD - 1))) {
        return kReadFailed;
    }
    DWORD count = 0;
    if (!::ReadFile(m_handle, m_readAhead.space(), ReadAhead::capacity(), &count, nullptr)) {
        fail();
        return kReadFailed;
    }
    m_readAhead.filled(static_cast<int>(count));
    return m_readAhead.take(buffer, max);
}

bool WinLine::purgeInput() {
    m_readAhead.clear();
    return ::PurgeComm(m_handle, PURGE_RXCLEAR) ? true : fail();
}

Dsr WinLine::dsr() {
    DWORD status = 0;
    if (!::GetCommModemStatus(m_handle, &status)) {
        return Dsr::kUnknown;
    }
    return (status & MS_DSR_ON) != 0 ? Dsr::kOn : Dsr::kOff;
}

} // namespace serial::win32

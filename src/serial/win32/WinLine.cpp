// The Windows serial line.
#include "serial/win32/WinLine.h"

#include <algorithm>
#include <cstring>

#include "base/win32/SystemErrorFromCode.h"

namespace serial::win32 {

WinLine::WinLine(std::string name) : m_name(std::move(name)) {}

WinLine::~WinLine() {
    close();
}

bool WinLine::fail() {
    m_error = base::SystemErrorFromCode(::GetLastError());
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
    m_readTimeouts = timeouts;
    m_baud = baud;
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
    m_baud = baud;
    return purgeInput();
}

bool WinLine::write(const std::string& data) {
    DWORD written = 0;
    if (!::WriteFile(m_handle, data.data(), static_cast<DWORD>(data.size()), &written, nullptr)) {
        return fail();
    }
    if (written != data.size()) {
        m_error = base::SystemErrorFromCode(ERROR_TIMEOUT);
        return false;
    }
    return true;
}

bool WinLine::setReadTimeouts(DWORD interval, DWORD multiplier, DWORD constant) {
    if (interval == m_readTimeouts.ReadIntervalTimeout &&
        multiplier == m_readTimeouts.ReadTotalTimeoutMultiplier &&
        constant == m_readTimeouts.ReadTotalTimeoutConstant) {
        return true;
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = interval;
    timeouts.ReadTotalTimeoutMultiplier = multiplier;
    timeouts.ReadTotalTimeoutConstant = constant;
    timeouts.WriteTotalTimeoutConstant = kWriteLimitMs;
    if (!::SetCommTimeouts(m_handle, &timeouts)) {
        m_readTimeouts = COMMTIMEOUTS{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
        return fail();
    }
    m_readTimeouts = timeouts;
    return true;
}

DWORD WinLine::gatherWindowMs(int characters) {
    // What is still on its way out goes first, then the answer.
    DWORD errors = 0;
    COMSTAT stat{};
    const DWORD queued = ::ClearCommError(m_handle, &errors, &stat) ? stat.cbOutQue : 0;
    return kGatherMs +
           static_cast<DWORD>(LineTimeUs(std::uint64_t{queued} + characters, m_baud) / 1000 + 1);
}

int WinLine::read(char* buffer, int max, std::uint32_t limitMs) {
    if (max <= 0) {
        return 0;
    }
    if (!m_readAhead.empty()) {
        return m_readAhead.take(buffer, max);
    }
    DWORD count = 0;
    // Where the device is known to send several characters, one ReadFile waits for them all,
    // within the time they take on the line and a little more, and takes what has come then.
    const int gather = limitMs > 0 ? m_readAhead.gather() : 0;
    if (gather > 1) {
        const DWORD window = std::min<DWORD>(gatherWindowMs(gather), limitMs);
        if (!setReadTimeouts(0, 0, window)) {
            return kReadFailed;
        }
        if (!::ReadFile(m_handle, m_readAhead.space(), static_cast<DWORD>(gather), &count,
                        nullptr)) {
            fail();
            return kReadFailed;
        }
        if (count > 0 || window >= limitMs) {
            m_readAhead.filled(static_cast<int>(count));
            return m_readAhead.take(buffer, max);
        }
        limitMs -= window; // nothing yet: the first character ends the wait
    }
    // What has come at once, else the first character within the limit; MAXDWORD as the
    // constant would make the wait endless.
    if (!setReadTimeouts(MAXDWORD, limitMs == 0 ? 0 : MAXDWORD,
                         std::min<DWORD>(limitMs, MAXDWORD - 1))) {
        return kReadFailed;
    }
    if (!::ReadFile(m_handle, m_readAhead.space(), ReadAhead::capacity(), &count, nullptr)) {
        fail();
        return kReadFailed;
    }
    m_readAhead.filled(static_cast<int>(count));
    return m_readAhead.take(buffer, max);
}

void WinLine::expect(std::size_t characters) {
    m_readAhead.expect(characters);
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

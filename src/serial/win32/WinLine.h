// serial::win32::WinLine: a serial line on Windows, \\.\COMn through the kernel's
// communications functions.
#pragma once
#include <string>

#include <windows.h>

#include "serial/Line.h"
#include "serial/ReadAhead.h"

namespace serial::win32 {

// The port as Windows names it ("COM3", "COM17"), opened unshared: no other program can open
// it while the line is open. A read waits in the kernel (ReadFile with the time-outs MAXDWORD,
// MAXDWORD, N: what has come at once, else the first byte within N ms) and keeps what it brings
// beyond what was asked for the next. A write gives up after kWriteLimitMs.
class WinLine : public Line {
public:
    static constexpr DWORD kWriteLimitMs = 5000;

    explicit WinLine(std::string name);
    ~WinLine() override;
    WinLine(const WinLine&) = delete;
    WinLine& operator=(const WinLine&) = delete;

    const std::string& name() const override { return m_name; }
    bool open(std::uint32_t baud) override;
    void close() override;
    bool setSpeed(std::uint32_t baud) override;
    bool write(const std::string& data) override;
    int read(char* buffer, int max, std::uint32_t limitMs) override;
    bool purgeInput() override;
    Dsr dsr() override;
    base::SystemError lastError() const override { return m_error; }

private:
    bool fail();
    bool setReadWait(DWORD limitMs);

    std::string m_name;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_readWaitMs = 0; // what the read time-outs are set to; MAXDWORD before any
    base::SystemError m_error;
    ReadAhead m_readAhead;
};

} // namespace serial::win32

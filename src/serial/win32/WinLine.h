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
// beyond what was asked for the next. Where the device is known to send several characters in
// one piece (expect), one ReadFile of that many (time-outs 0, 0, W) waits for them all, W being
// the time they take on the line and kGatherMs more; fewer or other characters are taken then.
// A write gives up after kWriteLimitMs.
class WinLine : public Line {
public:
    static constexpr DWORD kWriteLimitMs = 5000;
    static constexpr DWORD kGatherMs = 20;

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
    void expect(std::size_t characters) override;
    bool purgeInput() override;
    Dsr dsr() override;
    base::SystemError lastError() const override { return m_error; }

private:
    bool fail();
    // The read time-outs, set only when they change.
    bool setReadTimeouts(DWORD interval, DWORD multiplier, DWORD constant);
    // How long to wait for characters the device is to send, beyond what is still going out.
    DWORD gatherWindowMs(int characters);

    std::string m_name;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS m_readTimeouts{}; // as last set
    DWORD m_baud = 0;
    base::SystemError m_error;
    ReadAhead m_readAhead;
};

} // namespace serial::win32

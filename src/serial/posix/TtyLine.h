// serial::posix::TtyLine: a serial line on Linux, a tty or pseudo-terminal through termios.
#pragma once
#include <chrono>
#include <string>

#include "serial/Line.h"
#include "serial/ReadAhead.h"

namespace serial::posix {

// The path as given ("/dev/ttyUSB0", "/dev/serial/by-id/...", a link to a pseudo-terminal).
// While open no other program may open the line: TIOCEXCL keeps out every opener but root, and
// an exclusive flock keeps out other programs that lock their ports, root's included. A line
// that another program holds open already (where /proc shows it) is not opened: it is busy.
//
// A read waits in the kernel (poll) and takes what has come with one read(2) that never blocks;
// what it brings beyond what was asked is kept for the next. Where the device is known to send
// several characters in one piece (expect), the wait sleeps until they can all have come (what
// was written and they have been on the line, and as much more as the device has lately needed)
// and takes them with one read: XOFF, "~" and XON, which come 87 microseconds apart and would
// each wake a wait in poll, wake the program once. Fewer or other characters are taken at that
// moment, not at the wait's limit. A signal ends a wait early with nothing read. Writes go
// through a second, non-blocking description of the same line, so a device that never reads
// cannot hold the program for longer than kWriteLimitMs.
class TtyLine : public Line {
public:
    static constexpr std::uint32_t kWriteLimitMs = 5000;

    explicit TtyLine(std::string path);
    ~TtyLine() override;
    TtyLine(const TtyLine&) = delete;
    TtyLine& operator=(const TtyLine&) = delete;

    const std::string& name() const override { return m_path; }
    // Also fails for a speed termios has no constant for (14400 among them) and for a file that
    // is not a terminal.
    bool open(std::uint32_t baud) override;
    void close() override;
    bool setSpeed(std::uint32_t baud) override;
    bool write(const std::string& data) override;
    int read(char* buffer, int max, std::uint32_t limitMs) override;
    void expect(std::size_t characters) override;
    bool purgeInput() override;
    // Unknown on a pseudo-terminal, which has no modem lines.
    Dsr dsr() override;
    base::SystemError lastError() const override { return m_error; }

    // The system's error number in a user's terms, with the system's own words for it.
    static base::SystemError ErrorFromErrno(int error);

private:
    bool fail(int error);
    // Sleeps until then, unless that is beyond the limit; false when a signal ended the sleep.
    bool sleepUntil(std::chrono::steady_clock::time_point wake, std::uint32_t limitMs);
    // The answer awaited came later than its time on the line: how much later is learnt.
    void learnLateness();
    // One read that never blocks into the read-ahead: the count, 0 when nothing has come, or
    // kReadFailed.
    int takeWhatHasCome();

    std::string m_path;
    int m_fd = -1;      // reads, and every setting of the line
    int m_writeFd = -1; // writes, without blocking
    std::uint32_t m_baud = 0;
    // When the characters awaited in one piece can all have come, whether they came later, and
    // how much later than that the device has lately answered (microseconds).
    std::chrono::steady_clock::time_point m_due;
    bool m_early = false;
    long long m_lateUs = 0;
    // The writes since a read last brought anything, and when the first of them began, or the
    // last read that brought anything: what the device is still to send comes after them.
    std::size_t m_writtenSinceRead = 0;
    std::chrono::steady_clock::time_point m_dueFrom;
    base::SystemError m_error;
    ReadAhead m_readAhead;
};

} // namespace serial::posix

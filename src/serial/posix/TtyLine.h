// serial::posix::TtyLine: a serial line on Linux, a tty or pseudo-terminal through termios.
#pragma once
#include <string>

#include "serial/Line.h"
#include "serial/ReadAhead.h"

namespace serial::posix {

// The path as given ("/dev/ttyUSB0", "/dev/serial/by-id/...", a link to a pseudo-terminal).
// While open no other program may open the line: TIOCEXCL keeps out every opener but root, and
// an exclusive flock keeps out other programs that lock their ports, root's included. A line
// that another program holds open already (where /proc shows it) is not opened: it is busy.
//
// A read blocks in the kernel: each read(2) waits at most one tenth of a second for the first
// byte (VMIN 0, VTIME 1) and takes what has come, so a character costs one system call; a wait
// shorter than that polls first. A signal ends a wait early with nothing read. What a read
// brings beyond what was asked is kept for the next. Writes go through a second, non-blocking
// description of the same line, so a device that never reads cannot hold the program for
// longer than kWriteLimitMs.
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
    bool purgeInput() override;
    // Unknown on a pseudo-terminal, which has no modem lines.
    Dsr dsr() override;
    base::SystemError lastError() const override { return m_error; }

    // The system's error number in a user's terms, with the system's own words for it.
    static base::SystemError ErrorFromErrno(int error);

private:
    bool fail(int error);

    std::string m_path;
    int m_fd = -1;      // reads, and every setting of the line
    int m_writeFd = -1; // writes, without blocking
    base::SystemError m_error;
    ReadAhead m_readAhead;
};

} // namespace serial::posix

// The Linux serial line: termios, an exclusive open, reads that block in the kernel.
#include "serial/posix/TtyLine.h"

#include "serial/posix/TtyHolders.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial::posix {

namespace {

using Clock = std::chrono::steady_clock;

// How much later than its time on the line the device's answer may be awaited: it is learnt
// from the answers that came late, plus a margin, and forgotten slowly while they come in time.
constexpr long long kMaxLateUs = 2000;
constexpr long long kLateMarginUs = 40;

struct SpeedConstant {
    std::uint32_t baud;
    speed_t constant;
};

constexpr SpeedConstant kSpeeds[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},   {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600}, {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedConstantFor(std::uint32_t baud, speed_t* constant) {
    for (const SpeedConstant& s : kSpeeds) {
        if (s.baud == baud) {
            *constant = s.constant;
            return true;
        }
    }
    return false;
}

std::uint32_t MillisecondsSince(Clock::time_point start) {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

void CloseQuietly(int* fd) {
    if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
}

} // namespace

TtyLine::TtyLine(std::string path) : m_path(std::move(path)) {}

TtyLine::~TtyLine() {
    close();
}

base::SystemError TtyLine::ErrorFromErrno(int error) {
    base::SystemError e;
    e.code = error;
    char text[256] = {};
    // The GNU strerror_r may return a text of its own instead of filling the buffer.
    e.text = ::strerror_r(error, text, sizeof text);
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        e.cause = base::SystemError::Cause::kNoSuchPort;
        break;
    case EACCES:
    case EPERM:
        e.cause = base::SystemError::Cause::kAccessDenied;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        // An exclusive terminal (TIOCEXCL), or a lock held by another program.
        e.cause = base::SystemError::Cause::kBusy;
        break;
    case ENOTTY:
        e.cause = base::SystemError::Cause::kNotASerialPort;
        break;
    default:
        break;
    }
    return e;
}

bool TtyLine::fail(int error) {
    m_error = ErrorFromErrno(error);
    return false;
}

bool TtyLine::open(std::uint32_t baud) {
    close();
    speed_t speed = B0;
    if (!SpeedConstantFor(baud, &speed)) {
        return fail(EINVAL);
    }
    // Without O_NONBLOCK an open could wait for a carrier that a three-wire cable never has.
    m_fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        return fail(errno);
    }
    int error = 0;
    termios t{};
    if (!::isatty(m_fd)) {
        error = ENOTTY;
    } else if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(m_fd, &t) != 0) {
        error = errno;
    } else {
        m_writeFd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_writeFd < 0) {
            error = errno;
        }
    }
    // A program that opened the line before and did not lock it (a terminal program) would read
    // the device's answers: the line is neither changed nor written while one holds it.
    const bool held = error == 0 && !OtherHolderOf(m_path).empty();
    if (error == 0 && !held) {
        // Raw 8N1 without flow control or modem-line gating. Reads never block: poll waits.
        ::cfmakeraw(&t);
        t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_iflag &= ~(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
            ::tcsetattr(m_fd, TCSANOW, &t) != 0) {
            error = errno;
        }
    }
    if (error != 0 || held) {
        CloseQuietly(&m_writeFd);
        CloseQuietly(&m_fd);
        if (held) {
            m_error = base::SystemError(); // busy, though the system refused nothing
            m_error.cause = base::SystemError::Cause::kBusy;
            return false;
        }
        return fail(error);
    }
    ::ioctl(m_fd, TIOCEXCL);
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIS, &lines); // a pseudo-terminal has no modem lines
    m_readAhead.clear();
    m_baud = baud;
    m_writtenSinceRead = 0;
    m_lateUs = 0;
    m_early = false;
    return true;
}

void TtyLine::close() {
    if (m_fd < 0) {
        return;
    }
    // DTR first, then RTS, as the dialog's port drops them.
    int dtr = TIOCM_DTR;
    ::ioctl(m_fd, TIOCMBIC, &dtr);
    int rts = TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &rts);
    // Another program must be able to open the line once this one is done with it.
    ::ioctl(m_fd, TIOCNXCL);
    CloseQuietly(&m_writeFd);
    CloseQuietly(&m_fd);
    m_readAhead.clear();
}

bool TtyLine::setSpeed(std::uint32_t baud) {
    speed_t speed = B0;
    termios t{};
    if (!SpeedConstantFor(baud, &speed)) {
        return fail(EINVAL);
    }
    if (m_fd < 0) {
        return fail(EBADF);
    }
    if (::tcgetattr(m_fd, &t) != 0 || ::cfsetispeed(&t, speed) != 0 ||
        ::cfsetospeed(&t, speed) != 0 || ::tcsetattr(m_fd, TCSANOW, &t) != 0) {
        return fail(errno);
    }
    m_baud = baud;
    return purgeInput();
}

bool TtyLine::write(const std::string& data) {
    if (m_writeFd < 0) {
        return fail(EBADF);
    }
    const Clock::time_point start = Clock::now();
    if (m_writtenSinceRead == 0) {
        m_dueFrom = start; // what the device answers follows all that goes out from here
    }
    m_writtenSinceRead += data.size();
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_writeFd, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return fail(errno);
        }
        // The line's output queue is full: wait for room, but not for ever.
        const std::uint32_t waited = MillisecondsSince(start);
        if (waited >= kWriteLimitMs) {
            return fail(ETIMEDOUT);
        }
        pollfd p{m_writeFd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(kWriteLimitMs - waited)) < 0 && errno != EINTR) {
            return fail(errno);
        }
    }
    return true;
}

int TtyLine::takeWhatHasCome() {
    const ssize_t n = ::read(m_fd, m_readAhead.space(), ReadAhead::capacity());
    if (n > 0) {
        m_readAhead.filled(static_cast<int>(n));
        m_writtenSinceRead = 0;
        m_dueFrom = Clock::now(); // what is still awaited follows what came
        return static_cast<int>(n);
    }
    if (n == 0) {
        fail(EIO); // the other end has hung up
        return kReadFailed;
    }
    if (errno == EAGAIN || errno == EINTR) {
        return 0;
    }
    fail(errno);
    return kReadFailed;
}

bool TtyLine::sleepUntil(Clock::time_point wake, std::uint32_t limitMs) {
    const Clock::time_point now = Clock::now();
    if (wake <= now || wake - now >= std::chrono::milliseconds(limitMs)) {
        return true;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - now);
    const timespec span{static_cast<time_t>(wait.count() / 1000000000),
                        static_cast<long>(wait.count() % 1000000000)};
    // The tty's characters do not end this sleep one by one, as they would a wait in poll; a
    // signal does.
    return ::nanosleep(&span, nullptr) == 0;
}

void TtyLine::learnLateness() {
    const auto late =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_due).count() +
        kLateMarginUs;
    m_lateUs = std::min(std::max(m_lateUs + (late - m_lateUs) / 4, 0LL), kMaxLateUs);
    m_early = false;
}

int TtyLine::read(char* buffer, int max, std::uint32_t limitMs) {
    if (max <= 0) {
        return 0;
    }
    if (!m_readAhead.empty()) {
        return m_readAhead.take(buffer, max);
    }
    if (m_fd < 0) {
        fail(EBADF);
        return kReadFailed;
    }
    const Clock::time_point start = Clock::now();
    // Where the device is known to send several characters, they come one by one, each of
    // which would wake a wait in poll: the wait sleeps instead until they can all have come
    // (what was written and they have been on the line, and as much more as the device has
    // lately needed) and takes what has come then, fewer or other characters too. Only when
    // nothing has come yet does the first character end the wait.
    const int gather = limitMs > 0 ? m_readAhead.gather() : 0;
    if (gather > 1) {
        m_due = m_dueFrom + std::chrono::microseconds(LineTimeUs(
                                m_writtenSinceRead + static_cast<unsigned>(gather), m_baud));
        if (!sleepUntil(m_due + std::chrono::microseconds(m_lateUs), limitMs)) {
            return 0; // a stop: the caller looks
        }
        const int taken = takeWhatHasCome();
        if (taken < 0) {
            return kReadFailed;
        }
        if (taken >= gather) {
            m_lateUs -= m_lateUs / 16; // in time: perhaps the device needs less now
            m_early = false;
            return m_readAhead.take(buffer, max);
        }
        m_early = true; // the answer, or part of it, is later than awaited: learnt when it comes
        if (taken > 0) {
            learnLateness();
            return m_readAhead.take(buffer, max);
        }
    }
    for (;;) {
        const std::uint32_t waited = MillisecondsSince(start);
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(waited < limitMs ? limitMs - waited : 0));
        if (ready < 0) {
            if (errno == EINTR) {
                return 0; // a stop: the caller looks
            }
            fail(errno);
            return kReadFailed;
        }
        const int taken = takeWhatHasCome();
        if (taken > 0 && m_early) {
            learnLateness();
        }
        if (taken != 0) {
            return taken > 0 ? m_readAhead.take(buffer, max) : kReadFailed;
        }
        if ((p.revents & (POLLHUP | POLLERR)) != 0) {
            fail(EIO);
            return kReadFailed;
        }
        if (MillisecondsSince(start) >= limitMs) {
            return 0;
        }
    }
}

void TtyLine::expect(std::size_t characters) {
    m_readAhead.expect(characters);
}

bool TtyLine::purgeInput() {
    m_readAhead.clear();
    if (m_fd < 0) {
        return fail(EBADF);
    }
    return ::tcflush(m_fd, TCIFLUSH) == 0 ? true : fail(errno);
}

Dsr TtyLine::dsr() {
    int lines = 0;
    if (m_fd < 0 || ::ioctl(m_fd, TIOCMGET, &lines) != 0) {
        return Dsr::kUnknown;
    }
    return (lines & TIOCM_DSR) != 0 ? Dsr::kOn : Dsr::kOff;
}

} // namespace serial::posix

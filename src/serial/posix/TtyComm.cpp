// serial::posix::TtyComm: Windows comm calls carried out with termios on a tty or pseudo-terminal.
#include "serial/posix/TtyComm.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial::posix {

namespace {

struct SpeedConstant {
    DWORD baud;
    speed_t constant;
};

// Every speed a Windows port would take that termios can also set. 14400 has no constant here.
constexpr SpeedConstant kSpeeds[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedConstantFor(DWORD baud, speed_t* constant) {
    for (const SpeedConstant& s : kSpeeds) {
        if (s.baud == baud) {
            *constant = s.constant;
            return true;
        }
    }
    return false;
}

// Sets or clears modem-control lines; fails on a pseudo-terminal, which has none.
bool SetModemLines(int fd, int lines, bool on) {
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines) == 0;
}

// The character-size, parity and stop-bit part of c_cflag for the block, or false when termios
// has no way to say it.
bool LineFlags(const DCB& dcb, tcflag_t* cflag) {
    tcflag_t flags = 0;
    switch (dcb.ByteSize) {
    case 5:
        flags |= CS5;
        break;
    case 6:
        flags |= CS6;
        break;
    case 7:
        flags |= CS7;
        break;
    case 8:
        flags |= CS8;
        break;
    default:
        return false;
    }
    switch (dcb.Parity) {
    case NOPARITY:
        break;
    case ODDPARITY:
        flags |= PARENB | PARODD;
        break;
    case EVENPARITY:
        flags |= PARENB;
        break;
    case MARKPARITY: // stick parity: the parity bit is always 1
        flags |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY: // stick parity: the parity bit is always 0
        flags |= PARENB | CMSPAR;
        break;
    default:
        return false;
    }
    switch (dcb.StopBits) {
    case ONESTOPBIT:
        break;
    case TWOSTOPBITS:
        flags |= CSTOPB;
        break;
    default:
        return false;
    }
    *cflag = flags;
    return true;
}

// A Windows COM port never echoes, edits lines or translates characters: start every terminal
// out raw, with the receiver on and the modem lines not gating I/O.
void MakeRaw(termios* t) {
    ::cfmakeraw(t);
    t->c_cflag |= CLOCAL | CREAD;
    t->c_cc[VMIN] = 0;
    t->c_cc[VTIME] = 0;
}

constexpr DWORD kRtsControlHandshake = 2;
constexpr DWORD kDtrControlHandshake = 2;

} // namespace

TtyComm::TtyComm(const ComPortTable& ports, int writeStallMs)
    : m_ports(ports), m_writeStallMs(writeStallMs < 0 ? 0 : writeStallMs) {}

TtyComm::~TtyComm() {
    for (const auto& entry : m_ttys) {
        ::ioctl(entry.second.fd, TIOCNXCL);
        ::close(entry.second.fd);
    }
}

const TtyComm::OpenTty* TtyComm::find(HANDLE h) const {
    auto it = m_ttys.find(reinterpret_cast<std::uintptr_t>(h));
    return it == m_ttys.end() ? nullptr : &it->second;
}

int TtyComm::fileDescriptor(HANDLE h) const {
    const OpenTty* tty = find(h);
    return tty == nullptr ? -1 : tty->fd;
}

fw::SystemError TtyComm::ErrorFromErrno(int error) {
    fw::SystemError e;
    e.code = error;
    e.text = std::strerror(error);
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        e.cause = fw::SystemError::Cause::kNoSuchPort;
        break;
    case EACCES:
    case EPERM:
        e.cause = fw::SystemError::Cause::kAccessDenied;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        // An exclusive terminal (TIOCEXCL) or a lock held through another descriptor.
        e.cause = fw::SystemError::Cause::kBusy;
        e.text = "in use by another program";
        break;
    case ENOTTY:
        e.cause = fw::SystemError::Cause::kNotASerialPort;
        e.text = "not a terminal";
        break;
    default:
        break;
    }
    return e;
}

BOOL TtyComm::failed(int error) {
    m_lastError = ErrorFromErrno(error);
    return FALSE;
}

BOOL TtyComm::failed(const fw::SystemError& error) {
    m_lastError = error;
    return FALSE;
}

HANDLE TtyComm::createFile(const char* path) {
    if (path == nullptr) {
        failed(ENOENT);
        return INVALID_HANDLE_VALUE;
    }
    int fd = -1;
    try {
        std::string device;
        const int port = ComPortTable::portFromDevicePath(path);
        if (port >= 0) {
            device = m_ports.pathFor(port);
        } else if (std::string(path).rfind("/dev/", 0) == 0) {
            device = path;
        }
        if (device.empty()) {
            fw::SystemError none;
            none.cause = fw::SystemError::Cause::kNoSuchPort;
            none.text = "no device has that name";
            failed(none);
            return INVALID_HANDLE_VALUE;
        }

        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            failed(errno);
            return INVALID_HANDLE_VALUE;
        }
        // No sharing: the flock holds between handles of this process too, TIOCEXCL keeps
        // other programs (that are not root) from opening the terminal at all.
        termios settings{};
        int error = 0;
        if (!::isatty(fd)) {
            error = ENOTTY;
        } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &settings) != 0) {
            error = errno;
        }
        if (error != 0) {
            ::close(fd);
            failed(error);
            return INVALID_HANDLE_VALUE;
        }
        ::ioctl(fd, TIOCEXCL);
        MakeRaw(&settings);
        if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
            error = errno;
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
            failed(error);
            return INVALID_HANDLE_VALUE;
        }

        std::uintptr_t handle = m_nextHandle++;
        m_ttys.emplace(handle, OpenTty{fd, 0});
        return reinterpret_cast<HANDLE>(handle);
    } catch (...) {
        if (fd >= 0) {
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        }
        failed(ENOMEM);
        return INVALID_HANDLE_VALUE;
    }
}

BOOL TtyComm::closeHandle(HANDLE h) {
    auto it = m_ttys.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == m_ttys.end()) {
        return failed(EBADF);
    }
    const int fd = it->second.fd;
    m_ttys.erase(it);
    // Another program may keep the terminal open after us; it must be able to reopen it.
    ::ioctl(fd, TIOCNXCL);
    return ::close(fd) == 0 ? TRUE : failed(errno);
}

BOOL TtyComm::setupComm(HANDLE h, DWORD, DWORD) {
    return fileDescriptor(h) >= 0 ? TRUE : FALSE;
}

BOOL TtyComm::setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) {
    auto it = m_ttys.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == m_ttys.end() || timeouts == nullptr) {
        return failed(EBADF);
    }
    const bool returnAtOnce = timeouts->ReadIntervalTimeout == MAXDWORD &&
                              timeouts->ReadTotalTimeoutMultiplier == 0 &&
                              timeouts->ReadTotalTimeoutConstant == 0;
    const bool waitForFirst = timeouts->ReadIntervalTimeout == MAXDWORD &&
                              timeouts->ReadTotalTimeoutMultiplier == MAXDWORD &&
                              timeouts->ReadTotalTimeoutConstant != 0 &&
                              timeouts->ReadTotalTimeoutConstant != MAXDWORD;
    if (!returnAtOnce && !waitForFirst) {
        return failed(EINVAL);
    }
    it->second.readWaitMs = waitForFirst ? timeouts->ReadTotalTimeoutConstant : 0;
    return TRUE;
}

bool TtyComm::LineSettingsFromBlock(const DCB& dcb, termios* settings) {
    speed_t speed = B0;
    tcflag_t lineFlags = 0;
    if (settings == nullptr || !SpeedConstantFor(dcb.BaudRate, &speed) ||
        !LineFlags(dcb, &lineFlags)) {
        return false;
    }
    if (dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fDtrControl == kDtrControlHandshake ||
        dcb.fRtsControl > kRtsControlHandshake || dcb.fNull || dcb.fErrorChar ||
        dcb.fAbortOnError) {
        return false;
    }

    termios t = *settings;
    MakeRaw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= lineFlags;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == kRtsControlHandshake) {
        t.c_cflag |= CRTSCTS;
    }
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (dcb.fOutX) {
        t.c_iflag |= IXON;
    }
    if (dcb.fInX) {
        t.c_iflag |= IXOFF;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) {
        return false;
    }
    *settings = t;
    return true;
}

BOOL TtyComm::setCommState(HANDLE h, const DCB* dcb) {
    const int fd = fileDescriptor(h);
    termios settings{};
    if (fd < 0 || dcb == nullptr || ::tcgetattr(fd, &settings) != 0 ||
        !LineSettingsFromBlock(*dcb, &settings) || ::tcsetattr(fd, TCSANOW, &settings) != 0) {
        return FALSE;
    }
    // DTR and RTS follow the block as they do on Windows; a pseudo-terminal has no such lines.
    SetModemLines(fd, TIOCM_DTR, dcb->fDtrControl != 0);
    if (dcb->fRtsControl != kRtsControlHandshake) {
        SetModemLines(fd, TIOCM_RTS, dcb->fRtsControl != 0);
    }
    return TRUE;
}

BOOL TtyComm::setCommMask(HANDLE h, DWORD) {
    return fileDescriptor(h) >= 0 ? TRUE : FALSE;
}

BOOL TtyComm::escapeCommFunction(HANDLE h, DWORD function) {
    const int fd = fileDescriptor(h);
    if (fd < 0) {
        return FALSE;
    }
    bool done = false;
    switch (function) {
    case SETDTR:
        done = SetModemLines(fd, TIOCM_DTR, true);
        break;
    case CLRDTR:
        done = SetModemLines(fd, TIOCM_DTR, false);
        break;
    case SETRTS:
        done = SetModemLines(fd, TIOCM_RTS, true);
        break;
    case CLRRTS:
        done = SetModemLines(fd, TIOCM_RTS, false);
        break;
    default:
        errno = EINVAL;
        break;
    }
    return done ? TRUE : failed(errno);
}

BOOL TtyComm::purgeComm(HANDLE h, DWORD flags) {
    const int fd = fileDescriptor(h);
    if (fd < 0) {
        return FALSE;
    }
    // Nothing is ever pending in the background here, so the abort flags have nothing to stop.
    const bool input = (flags & PURGE_RXCLEAR) != 0;
    const bool output = (flags & PURGE_TXCLEAR) != 0;
    if (!input && !output) {
        return TRUE;
    }
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return ::tcflush(fd, queue) == 0 ? TRUE : FALSE;
}

BOOL TtyComm::clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) {
    const int fd = fileDescriptor(h);
    if (fd < 0) {
        return FALSE;
    }
    int inQueue = 0;
    if (::ioctl(fd, FIONREAD, &inQueue) != 0) {
        return FALSE;
    }
    int outQueue = 0;
    if (::ioctl(fd, TIOCOUTQ, &outQueue) != 0) {
        outQueue = 0;
    }
    if (errors != nullptr) {
        *errors = 0;
    }
    if (stat != nullptr) {
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(inQueue < 0 ? 0 : inQueue);
        stat->cbOutQue = static_cast<DWORD>(outQueue < 0 ? 0 : outQueue);
    }
    return TRUE;
}

BOOL TtyComm::readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) {
    if (read != nullptr) {
        *read = 0;
    }
    const OpenTty* tty = find(h);
    if (tty == nullptr || read == nullptr || (buffer == nullptr && toRead != 0)) {
        return failed(EBADF);
    }
    if (toRead == 0) {
        return TRUE;
    }
    short events = 0;                   // what the wait for the first byte saw; 0 before any wait
    bool waited = tty->readWaitMs == 0; // the return-at-once form never waits
    for (;;) {
        const ssize_t n = ::read(tty->fd, buffer, toRead);
        if (n > 0) {
            *read = static_cast<DWORD>(n);
            return TRUE;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return failed(errno);
        }
        if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            return failed(EIO); // woken by a hang-up with nothing to read: the line is gone
        }
        if (waited) {
            return TRUE; // nothing arrived: a read with these time-outs gives nothing
        }
        // Wait in the kernel for the first byte. A signal ends the wait with nothing read.
        const DWORD limit = tty->readWaitMs;
        pollfd p{tty->fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, limit > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(limit));
        if (ready < 0) {
            return errno == EINTR ? TRUE : failed(errno);
        }
        if (ready == 0) {
            return TRUE;
        }
        events = p.revents;
        waited = true;
    }
}

BOOL TtyComm::writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) {
    if (written != nullptr) {
        *written = 0;
    }
    const int fd = fileDescriptor(h);
    if (fd < 0 || written == nullptr || (data == nullptr && toWrite != 0)) {
        return FALSE;
    }
    using Clock = std::chrono::steady_clock;
    const auto stallLimit = std::chrono::milliseconds(m_writeStallMs);
    const char* next = static_cast<const char*>(data);
    DWORD left = toWrite;
    auto lastProgress = Clock::now();
    while (left > 0) {
        const ssize_t n = ::write(fd, next, left);
        if (n > 0) {
            next += n;
            left -= static_cast<DWORD>(n);
            *written += static_cast<DWORD>(n);
            lastProgress = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return failed(errno);
        }
        // The output queue is full: wait a little for room, but not for ever.
        const auto waited = Clock::now() - lastProgress;
        if (waited >= stallLimit) {
            return failed(ETIMEDOUT);
        }
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(stallLimit - waited).count();
        // Short slices: the kernel may take bytes before it reports the queue writable.
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(remaining < 10 ? remaining + 1 : 10));
        if (p.revents & (POLLERR | POLLNVAL)) {
            return failed(EIO);
        }
    }
    return TRUE;
}

BOOL TtyComm::getCommModemStatus(HANDLE h, DWORD* status) {
    const int fd = fileDescriptor(h);
    if (fd < 0 || status == nullptr) {
        return FALSE;
    }
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0) {
        return failed(errno); // a pseudo-terminal has no modem lines
    }
    DWORD word = 0;
    if (lines & TIOCM_CTS) {
        word |= MS_CTS_ON;
    }
    if (lines & TIOCM_DSR) {
        word |= MS_DSR_ON;
    }
    if (lines & TIOCM_RNG) {
        word |= MS_RING_ON;
    }
    if (lines & TIOCM_CAR) {
        word |= MS_RLSD_ON;
    }
    *status = word;
    return TRUE;
}

} // namespace serial::posix

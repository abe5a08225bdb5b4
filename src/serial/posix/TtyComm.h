// serial::posix::TtyComm: the comm seam on Linux ttys and pseudo-terminals, through termios.
#pragma once
#include <cstdint>
#include <map>

#include <termios.h>

#include "fw/Comm.h"
#include "serial/posix/ComPortTable.h"

namespace serial::posix {

// Behaves as a Windows COM port opened without sharing and without overlapped I/O, with reads
// that return at once. What the host cannot do is reported as a failed call:
// - "\\.\COMn" opens the path that the port table gives for n; a path that starts with "/dev/"
//   is opened as it is; anything else, and any file that is not a terminal, fails to open.
// - A port open through one handle cannot be opened again until that handle is closed
//   (an exclusive flock, which also holds for root; TIOCEXCL is set as well for other programs).
// - setCommState fails, and leaves the line as it was, for a speed that has no termios
//   constant (14400 among them: a wrong speed would only garble the line), for 1.5 stop bits,
//   and for the flags that termios cannot honour (DSR flow control and sensitivity, DTR
//   handshake, RTS toggle, NUL stripping, error-character replacement, abort on error).
// - The modem-line calls fail on a pseudo-terminal, which has no modem lines.
// - setupComm and setCommMask are accepted and change nothing: the kernel sizes its own queues
//   and no one waits for line events.
// - setCommTimeouts accepts two read forms: "return at once" (ReadIntervalTimeout MAXDWORD,
//   read multiplier and constant 0), and "wait for the first byte" (interval and multiplier
//   MAXDWORD, constant N from 1 to MAXDWORD - 1): a read returns at once with what has arrived,
//   or blocks in poll(2) up to N ms for the first byte. A signal ends that wait early, with
//   nothing read, so that a program can stop at once. Other forms fail.
// - A write gives up, returning FALSE with the count taken so far, when the line has taken no
//   byte for writeStallMs milliseconds: a dead line never hangs the caller.
// - clearCommError reports the queue sizes; line errors are not counted (the error word is 0).
// - lastError tells why the last failed call failed: errno with its cause, e.g. a terminal that
//   another handle or program holds is kBusy.
// Handles are small numbers of this object's own, never 0 or INVALID_HANDLE_VALUE; calls with
// any other handle fail. No call throws.
class TtyComm : public fw::Comm {
public:
    static constexpr int kDefaultWriteStallMs = 5000;

    // The table must outlive this object; it is looked up at each createFile.
    explicit TtyComm(const ComPortTable& ports, int writeStallMs = kDefaultWriteStallMs);
    // Closes every handle still open.
    ~TtyComm() override;
    TtyComm(const TtyComm&) = delete;
    TtyComm& operator=(const TtyComm&) = delete;

    HANDLE createFile(const char* path) override;
    BOOL closeHandle(HANDLE h) override;
    BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) override;
    BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) override;
    BOOL setCommState(HANDLE h, const DCB* dcb) override;
    BOOL setCommMask(HANDLE h, DWORD mask) override;
    BOOL escapeCommFunction(HANDLE h, DWORD function) override;
    BOOL purgeComm(HANDLE h, DWORD flags) override;
    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override;
    BOOL readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) override;
    BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) override;
    BOOL getCommModemStatus(HANDLE h, DWORD* status) override;
    fw::SystemError lastError() const override { return m_lastError; }

    // The cause that a user can act on for an errno of open(2), flock(2) or a terminal call.
    static fw::SystemError ErrorFromErrno(int error);

    // Writes the block's speed, character format and flow control into the settings and makes
    // them raw; false, with the settings untouched, when termios cannot say what the block asks.
    static bool LineSettingsFromBlock(const DCB& dcb, termios* settings);

    // The file descriptor behind an open handle, -1 for any other (tests and tools look at the
    // terminal settings through it).
    int fileDescriptor(HANDLE h) const;

private:
    struct OpenTty {
        int fd = -1;
        DWORD readWaitMs = 0; // 0: reads return at once
    };
    const OpenTty* find(HANDLE h) const;
    // Records why a call failed; returns FALSE for the caller to pass on.
    BOOL failed(int error);
    BOOL failed(const fw::SystemError& error);

    const ComPortTable& m_ports;
    int m_writeStallMs;
    std::map<std::uintptr_t, OpenTty> m_ttys; // handle value -> what is open
    std::uintptr_t m_nextHandle = 0x100;
    fw::SystemError m_lastError;
};

} // namespace serial::posix

// serial::Line: one serial line as the update engine speaks to it, 8 data bits, no parity, one
// stop bit, no flow control: a handful of operations on a line known by its name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/SystemError.h"

namespace serial {

// The device's DSR signal as the line reports it.
enum class Dsr {
    kOff,
    kOn,
    kUnknown, // the line has no modem status (a pseudo-terminal, some adapters), or it failed
};

class Line {
public:
    // What read returns when the line itself failed (unplugged, hung up).
    static constexpr int kReadFailed = -1;

    virtual ~Line() = default;

    // The line as its user named it: "/dev/ttyUSB0", "/dev/serial/by-id/...", "COM17".
    virtual const std::string& name() const = 0;
    // Opens the line at the speed with DTR and RTS raised, closing it first when open. False
    // when it cannot be opened; lastError says why.
    virtual bool open(std::uint32_t baud) = 0;
    // Drops DTR, then RTS, and closes the line; nothing when it is closed.
    virtual void close() = 0;
    // Another speed for the open line; what arrived at the old speed is thrown away.
    virtual bool setSpeed(std::uint32_t baud) = 0;
    // Hands every byte of data to the line; false when it cannot (lastError).
    virtual bool write(const std::string& data) = 0;
    // Takes up to max bytes that have arrived. When none has, waits up to limitMs for the first
    // (0: no wait). The count taken, 0 when nothing came (a signal may end the wait early), or
    // kReadFailed.
    virtual int read(char* buffer, int max, std::uint32_t limitMs) = 0;
    // A hint: the device is known to send this many characters next, in one piece. A line that
    // blocks may then wait until all have come (a short while at most) and take them with one
    // wake-up; a read still returns what has come once that while has passed. Cleared by a purge.
    virtual void expect(std::size_t /*characters*/) {}
    // Throws away what has arrived and not been read.
    virtual bool purgeInput() = 0;
    virtual Dsr dsr() = 0;
    // Why the last failed operation failed, as the system says it.
    virtual base::SystemError lastError() const = 0;
};

} // namespace serial

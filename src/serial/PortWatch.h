// serial::PortWatch: being told that the machine's serial ports may have changed (a USB adapter
// plugged in or pulled out), without looking at them again and again.
#pragma once
#include <cstdint>
#include <string>

namespace serial {

class PortWatch {
public:
    virtual ~PortWatch() = default;

    // Blocks until the ports may have changed, or at most limitMs (a signal may end it sooner).
    // True when they may have changed: the caller lists them again.
    virtual bool wait(std::uint32_t limitMs) = 0;
    // Empty while the system tells of every change; else why the ports are looked at every so
    // often instead, in words for the user.
    virtual std::string fallback() const = 0;
};

} // namespace serial

// The one seam through which an update waits on its device: one face polls without sleeping,
// another blocks in the kernel.
#pragma once
#include <cstddef>
#include <cstdint>

#include "serial/Line.h"

namespace update {

enum class WaitResult {
    kCharacter,  // one character was read
    kReadFailed, // characters were waiting but the read gave none; the character is 0
    kTimedOut,   // the limit passed with nothing received
    kStopped,    // the user stopped the update
};

class LineWaits {
public:
    virtual ~LineWaits() = default;

    // The millisecond tick counter that limits are measured on; wraps at 2^32, so every limit is
    // an unsigned difference from a start.
    virtual std::uint32_t now() = 0;
    // One character from the line, once limitMs have passed since start at the latest.
    virtual WaitResult waitForCharacter(serial::Line& line, std::uint32_t start,
                                        std::uint32_t limitMs, char* received) = 0;
    // The device is known to send this many characters next, in one piece: waits that block may
    // take them with one wake-up (Line::expect). The default takes no notice.
    virtual void expect(serial::Line& /*line*/, std::size_t /*characters*/) {}
    // Until milliseconds have passed since the call; false when the user stopped the update.
    virtual bool pause(std::uint32_t milliseconds) = 0;
    // Between two reads of the modem status while a change of DSR is awaited; false when the
    // user stopped the update.
    virtual bool betweenStatusReads() = 0;
};

} // namespace update

// Bounded waits for one character from the device, polled on the millisecond tick counter.
#pragma once
#include "fw/Clock.h"
#include "serial/SerialPort.h"

enum class WaitResult {
    kCharacter,  // one character was read
    kReadFailed, // characters were waiting but the read gave none; the character is 0
    kTimedOut,   // the limit passed with nothing received
};

// Polls without sleeping until a character arrives or limitMs have passed since the call.
// The elapsed time is an unsigned 32-bit difference, so a wrap of the counter changes nothing.
WaitResult WaitForCharacter(CSerialPort& port, fw::Clock& clock, DWORD limitMs, char* received);

// Busy-waits until at least milliseconds have passed.
void PauseFor(fw::Clock& clock, DWORD milliseconds);

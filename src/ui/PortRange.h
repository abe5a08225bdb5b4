// The serial ports the program offers, COM1 to COM12: the one definition of that range, for the
// dialog's port buttons and remembered port and for the console program's port numbers.
#pragma once

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 12;
inline constexpr int kComPortCount = kLastComPort - kFirstComPort + 1;

// Whether COMn is one of the ports the program offers.
constexpr bool IsOfferedComPort(int n) {
    return n >= kFirstComPort && n <= kLastComPort;
}

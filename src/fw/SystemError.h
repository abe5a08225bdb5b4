// Why a call on a serial line failed, as the operating system put it: shared by the dialog's comm
// seam and the lines of the console.
#pragma once
#include <string>

namespace fw {

// Why a call on a port failed, as the operating system put it.
struct SystemError {
    // What the failure means for a user, where the system's code tells it.
    enum class Cause {
        kUnknown,      // no reason known, or one of no particular meaning to a user
        kNoSuchPort,   // nothing answers to the name or path
        kAccessDenied, // the user may not open it
        kBusy,         // another program holds it
        kNotASerialPort,
    };
    Cause cause = Cause::kUnknown;
    long code = 0;    // the system's own number (errno, or GetLastError on Windows); 0 when none
    std::string text; // the system's own words for it; empty when none
};

} // namespace fw

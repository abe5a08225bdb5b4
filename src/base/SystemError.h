// Why a call on a serial line or a file failed, as the operating system put it.
#pragma once
#include <string>

namespace base {

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

} // namespace base

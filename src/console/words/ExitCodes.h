// The exit codes of keystrand-update: one for each class of outcome, for scripts to tell apart.
#pragma once

namespace console {

enum ExitCode : int {
    kExitSuccess = 0,     // updated; or the package checked good; or the ports listed
    kExitOther = 1,       // the program itself failed (out of memory, an unexpected error)
    kExitUsage = 2,       // bad command line, or the trace file cannot be created
    kExitPackage = 3,     // description file or HEX file missing, unreadable or invalid
    kExitPort = 4,        // no usable port: none found, several to choose from, absent, or busy
    kExitDeviceEntry = 5, // the application firmware did not answer or did not restart
    kExitTransfer = 6,    // the boot loader or the HEX transfer failed
    kExitSignalBase = 128 // stopped by a signal: 128 + its number (130 Ctrl-C, 143 SIGTERM)
};

// The signals that stop an update, by their numbers on every system.
constexpr int kSignalInterrupt = 2;  // SIGINT, Ctrl-C
constexpr int kSignalTerminate = 15; // SIGTERM

} // namespace console

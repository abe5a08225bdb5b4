// What keystrand-update says at the end of an update: a pure function of the engine's outcome
// and of what the run knows about its port, testable without a device.
#pragma once
#include <string>
#include <vector>

#include "update/UpdateOutcome.h"

namespace console {

// What the run knows beside the outcome.
struct RunContext {
    std::string portName;        // as the user gave it, escaped: "/dev/ttyUSB0", "COM3"
    std::string hexName;         // the HEX file's name from the description file
    bool modemStatusRead = true; // false: the line has no modem status (a pty, some adapters)
    bool dsrOn = false;          // DSR as read at the start
    int stopSignal = 0;          // the signal that stopped the update (kStopped)
    std::string openAdvice;      // the platform's word on an open failure, e.g. the group to join
};

struct OutcomeReport {
    int exitCode = 0;
    std::string headline;             // what happened, and where
    std::vector<std::string> details; // the character or reply received, the row, the cause
    std::string deviceState;          // the device's state in plain words; empty on success
    std::vector<std::string> advice;  // what to do next

    // Every line, in order: headline, details, device state, advice.
    std::vector<std::string> Lines() const;
};

OutcomeReport DescribeOutcome(const update::Outcome& outcome, const RunContext& context);

// The rows the device confirmed: those sent, less the last when its confirmation was awaited
// and did not come.
int RowsAccepted(const update::Outcome& outcome);

// The exit code of an outcome alone (a stopped update: 128 + the signal).
int ExitCodeOf(const update::Outcome& outcome, int stopSignal);

// The signal's name for a user: "Ctrl-C (SIGINT)", "SIGTERM".
std::string SignalName(int signalNumber);

// Why a port did not open, in a user's words: "busy: another program has it open or locked".
std::string OpenReason(const base::SystemError& error);
// "The system says: <its words> (<code>)."; empty when it gave no words.
std::string SystemSays(const base::SystemError& error);

} // namespace console

// Fault scripts for the device: at which step of the exchange it misbehaves, and how.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// The points of the exchange at which a fault can act.
enum class Step {
    Identity,     // application firmware: the 18-character reply to "<V"
    Restart,      // application firmware: restarting into the boot loader on "<W", dropping DSR
    Banner,       // boot loader: what it sends by itself when it starts or its line opens
                  // (nothing normally), i.e. characters before the identification request
    Version,      // boot loader: "KYST-SM-2.10" and CR, the reply to the identification request
    Ready,        // boot loader: "?"
    Xon,          // boot loader: XON before row N
    Xoff,         // boot loader: XOFF after row N
    LineComplete, // boot loader: "~" after row N
    FileComplete, // boot loader: "@" after the end-of-file record
    Row,          // boot loader: the reception of row N, before it is checked and flashed
    Dsr,          // the modem lines: the device's signal on DSR (and CTS and DCD)
    Status,       // the modem lines: the program's read of their status
};

enum class Action {
    Wrong,   // send the given character instead of the step's output
    None,    // send nothing for this step, then carry on as if it had been sent
    Reply,   // send the given text instead of the step's output
    Extra,   // send the given text right after the step's output
    Delay,   // hold this step's output (and so all that follows it) for the given milliseconds
    KeepDsr, // restart: restart into the boot loader but keep DSR on
    Dead,    // stop answering from this step on, until the line is next opened
    Hangup,  // as Dead, and close the line (the port's handle fails, or the pty is replaced)
    Garbage, // send the given number of noise characters instead of the step's output
    Reject,  // row: answer the row as a bad row even though it is valid
    Off,     // dsr: the cable carries no DSR, which reads off whatever the device drives
    Flap,    // dsr: from "<W" until the boot loader runs, DSR goes off and on every given ms
    Fail,    // status: the program's read of the modem lines fails
};

struct Fault {
    Step step = Step::Version;
    // The row the fault applies to, 1 for the first row of the file; 0 for every row. Only for
    // Xon, Xoff, LineComplete and Row.
    int row = 0;
    Action action = Action::None;
    std::string text;        // Wrong (one character), Reply, Extra
    std::uint32_t value = 0; // Delay and Flap (milliseconds), Garbage (count of characters)
    bool once = false;       // applies only the first time its step comes
};

// Parses one fault entry:
//   STEP[@row=N]:ACTION[=ARG][:once]      or      row=N:ACTION[=ARG][:once]
// STEP is identity, restart, banner, version, ready, xon, xoff, line-complete, file-complete,
// row, dsr or status; ACTION is wrong=C, none, reply=TEXT, extra=TEXT, extra-lf, delay=MS,
// keep-dsr, dead, hangup, garbage=N, reject, off, flap=MS or fail. TEXT and C take the escapes \r
// \n \t \\ and \xHH. False with a reason when the entry is malformed or the action does not fit the
// step.
bool ParseFault(const std::string& entry, Fault* fault, std::string* error);
// The entry written back in the syntax ParseFault reads.
std::string FormatFault(const Fault& fault);
const char* StepName(Step step);
const char* ActionName(Action action);
// A description of the syntax, for a tool's help text.
std::string FaultSyntaxHelp();

// Text with \r \n \t \\ \" \xHH escapes resolved (the escapes of base::Escaped); false on a
// bad escape.
bool UnescapeText(const std::string& text, std::string* out);

} // namespace sim

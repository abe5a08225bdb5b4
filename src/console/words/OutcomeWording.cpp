// The words for each outcome of an update: what happened, where, the device's state, what next.
#include "console/words/OutcomeWording.h"

#include "base/ProductNames.h"
#include "console/words/ExitCodes.h"
#include "console/words/StageWords.h"
#include "console/words/Text.h"

namespace console {

namespace {

using update::Awaited;
using update::DeviceState;
using update::Failure;
using update::Outcome;
using update::Stage;

const char* const kDevice = "the " DEVICE_NAME;

std::string Of(int row, int total) {
    return std::to_string(row) + " of " + std::to_string(total);
}

// The handshake character a wait was for, by name and value.
std::string AwaitedName(Awaited awaited) {
    switch (awaited) {
    case Awaited::kReady:
        return "the ready character \"?\" (0x3F)";
    case Awaited::kXon:
        return "XON (0x11)";
    case Awaited::kXoff:
        return "XOFF (0x13)";
    case Awaited::kLineComplete:
        return "line complete \"~\" (0x7E)";
    case Awaited::kFileComplete:
        return "file complete, the at sign (0x40)";
    case Awaited::kNothing:
        break;
    }
    return "a character";
}

// Where in the file a handshake wait stood.
std::string WhereInFile(const Outcome& o) {
    switch (o.awaited) {
    case Awaited::kReady:
        return "before the first row";
    case Awaited::kXon:
        return "at row " + Of(o.rowsSent + 1, o.totalRows);
    case Awaited::kXoff:
    case Awaited::kLineComplete:
        return "at row " + Of(o.rowsSent, o.totalRows);
    case Awaited::kFileComplete:
        return "after the last row (" + Of(o.rowsSent, o.totalRows) + ")";
    case Awaited::kNothing:
        break;
    }
    return std::string();
}

// Where the update stood when it was stopped.
std::string WhereStopped(const Outcome& o) {
    if (o.stage == Stage::kAwaitingFileComplete) {
        return "after the last row (" + Of(o.rowsSent, o.totalRows) + ")";
    }
    if (const char* phrase = WaitingPhrase(o.stage)) {
        return phrase;
    }
    return "at row " + Of(o.rowsSent, o.totalRows);
}

std::string DeviceStateWords(const Outcome& o) {
    switch (o.device) {
    case DeviceState::kUnchanged:
        return o.sentAnything ? "The device's firmware is unchanged."
                              : "Nothing was sent to the device: it is unchanged.";
    case DeviceState::kRestartRequested:
        return "The device was asked to restart into its boot loader; its firmware is unchanged.";
    case DeviceState::kUnknown:
        return "The device's state is not known: nothing answered the boot loader's "
               "identification request.";
    case DeviceState::kIncomplete:
        return "The firmware is incomplete: run the update again; the device stays in its boot "
               "loader until an update succeeds.";
    case DeviceState::kUpdated:
        break;
    }
    return std::string();
}

// Nothing answered the boot loader's request: what each thing that may be at the other end
// means. A boot loader was only assumed where DSR gave no sign of the application firmware.
void AdviseOnUnknownState(const RunContext& c, OutcomeReport* r) {
    r->advice.push_back("If the device's boot loader was running and heard the request, it may "
                        "have erased its firmware: run the update again; the device stays in its "
                        "boot loader until an update succeeds.");
    if (!c.modemStatusRead || !c.dsrOn) {
        r->advice.push_back(std::string(c.modemStatusRead ? "DSR was off"
                                                          : "The modem status of this line "
                                                            "cannot be read") +
                            ", so the boot loader was assumed to be running. If the device runs "
                            "its application firmware, its firmware is unchanged: use a cable "
                            "that carries DSR, so that it can be told to restart into its boot "
                            "loader.");
    }
    r->advice.push_back("If nothing is there, check that the device is powered and connected to " +
                        c.portName + ".");
}

// The system's own words for a line that failed, where it gave any.
void TellLineError(const Outcome& o, OutcomeReport* r) {
    if (!SystemSays(o.lineError).empty()) {
        r->details.push_back(SystemSays(o.lineError));
    }
}

void DescribeFailure(const Outcome& o, const RunContext& c, OutcomeReport* r) {
    const std::string on = " on " + c.portName;
    switch (o.failure) {
    case Failure::kNone:
    case Failure::kStopped:
        break;
    case Failure::kPackage:
        r->headline = "The firmware HEX file " + Quoted(c.hexName) +
                      " cannot be flashed: " + o.package.Describe() + ".";
        if (!o.package.rowText.empty()) {
            // Shown as the check gives it, non-printing characters already escaped.
            r->details.push_back("row " + std::to_string(o.package.row) + ": \"" +
                                 o.package.rowText + "\"");
        }
        r->advice.push_back("Check the firmware package with --check; ask for a good copy.");
        break;
    case Failure::kPortOpen:
        r->headline =
            "Cannot open the serial port " + c.portName + ": " + OpenReason(o.openError) + ".";
        // Where the cause is not known, the reason is the system's words already.
        if (o.openError.cause != base::SystemError::Cause::kUnknown &&
            !SystemSays(o.openError).empty()) {
            r->details.push_back(SystemSays(o.openError));
        }
        if (!c.openAdvice.empty()) {
            r->advice.push_back(c.openAdvice);
        }
        break;
    case Failure::kNoIdentity:
        r->headline =
            "Cannot find a " DEVICE_NAME + on + ": no valid identity reply to \"<V\" within 2 s.";
        if (!o.reply.empty()) {
            r->details.push_back("Received: " + Quoted(o.reply) + ".");
        }
        r->advice.push_back("Check that the device is connected to " + c.portName +
                            " and powered, and that no other program uses the line.");
        break;
    case Failure::kNoRestart:
        r->headline = "Invalid response from " + std::string(kDevice) + on +
                      ": it did not restart into its boot loader (DSR stayed on for 2 s after "
                      "\"<W\").";
        r->advice.push_back("Switch the device off and on, then run the update again.");
        break;
    case Failure::kNoVersion:
        r->headline = "No response from " + std::string(kDevice) + "'s boot loader" + on +
                      ": no version reply within 3 s.";
        if (!o.reply.empty()) {
            r->details.push_back("Received: " + Quoted(o.reply) + ".");
        }
        break;
    case Failure::kWrongVersion:
        if (o.readFailed) {
            r->headline =
                "The port " + c.portName + " failed while the boot loader's version was read.";
            TellLineError(o, r);
            r->advice.push_back("Check the cable and the adapter, then run the update again.");
        } else {
            r->headline = "Invalid version response from " + std::string(kDevice) + on + ": " +
                          Quoted(o.reply) + " instead of \"KYST-SM-2.10\".";
            r->advice.push_back("This tool updates boot loader version KYST-SM-2.10 only.");
        }
        break;
    case Failure::kNoAnswer:
        r->headline = "Firmware update failed " + WhereInFile(o) + ": " + kDevice +
                      " did not send " + AwaitedName(o.awaited) + " within 2 s.";
        break;
    case Failure::kWrongAnswer:
        if (o.readFailed) {
            r->headline = "Firmware update failed " + WhereInFile(o) + ": the port " + c.portName +
                          " failed while " + AwaitedName(o.awaited) + " was awaited.";
            TellLineError(o, r);
            r->advice.push_back("Check that the adapter is still plugged in.");
        } else {
            r->headline = "Firmware update failed " + WhereInFile(o) + ": " + kDevice + " sent " +
                          CharacterName(o.received) + " where " + AwaitedName(o.awaited) +
                          " was awaited.";
            if (o.received == 0x15) {
                r->details.push_back("NAK: the boot loader refused the row.");
            }
        }
        break;
    case Failure::kHexOpen:
        r->headline = "The firmware HEX file " + Quoted(c.hexName) +
                      " could not be opened again for the transfer.";
        break;
    case Failure::kHexRead:
        r->headline = "The firmware HEX file " + Quoted(c.hexName) +
                      " could not be read during the transfer.";
        break;
    case Failure::kHexInvalid:
        r->headline = "The firmware HEX file " + Quoted(c.hexName) +
                      " changed during the update: " + o.package.Describe() + ".";
        break;
    }
}

} // namespace

std::string OpenReason(const base::SystemError& e) {
    using Cause = base::SystemError::Cause;
    switch (e.cause) {
    case Cause::kNoSuchPort:
        return "no such device";
    case Cause::kAccessDenied:
        return "permission denied";
    case Cause::kBusy:
        return "busy: another program has it open or locked";
    case Cause::kNotASerialPort:
        return "not a terminal (not a serial port)";
    case Cause::kUnknown:
        break;
    }
    return e.text.empty() ? "the system gave no reason" : e.text;
}

std::string SystemSays(const base::SystemError& e) {
    if (e.text.empty()) {
        return std::string();
    }
    return "The system says: " + Escaped(e.text) + " (" + std::to_string(e.code) + ").";
}

std::vector<std::string> OutcomeReport::Lines() const {
    std::vector<std::string> lines;
    lines.push_back(headline);
    lines.insert(lines.end(), details.begin(), details.end());
    if (!deviceState.empty()) {
        lines.push_back(deviceState);
    }
    lines.insert(lines.end(), advice.begin(), advice.end());
    return lines;
}

std::string SignalName(int signalNumber) {
    if (signalNumber == kSignalInterrupt) {
        return "Ctrl-C (SIGINT)";
    }
    if (signalNumber == kSignalTerminate) {
        return "SIGTERM";
    }
    return "signal " + std::to_string(signalNumber);
}

int RowsAccepted(const Outcome& o) {
    const bool unconfirmed =
        !o.ok() && (o.stage == Stage::kAwaitingXoff || o.stage == Stage::kAwaitingLineComplete ||
                    o.stage == Stage::kAwaitingFileComplete);
    return o.rowsSent > 0 && unconfirmed ? o.rowsSent - 1 : o.rowsSent;
}

int ExitCodeOf(const Outcome& o, int stopSignal) {
    switch (o.failure) {
    case Failure::kNone:
        return kExitSuccess;
    case Failure::kPackage:
    case Failure::kHexOpen:
    case Failure::kHexRead:
    case Failure::kHexInvalid:
        return kExitPackage;
    case Failure::kPortOpen:
        return kExitPort;
    case Failure::kNoIdentity:
    case Failure::kNoRestart:
        return kExitDeviceEntry;
    case Failure::kNoVersion:
    case Failure::kWrongVersion:
    case Failure::kNoAnswer:
    case Failure::kWrongAnswer:
        return kExitTransfer;
    case Failure::kStopped:
        return kExitSignalBase + (stopSignal != 0 ? stopSignal : kSignalInterrupt);
    }
    return kExitOther;
}

OutcomeReport DescribeOutcome(const Outcome& o, const RunContext& c) {
    OutcomeReport r;
    r.exitCode = ExitCodeOf(o, c.stopSignal);
    if (o.ok()) {
        r.headline = "The " DEVICE_NAME " firmware has been successfully updated.";
        return r;
    }
    if (o.failure == Failure::kStopped) {
        r.headline = "Stopped by " + SignalName(c.stopSignal) + " " + WhereStopped(o) + ".";
    } else {
        DescribeFailure(o, c, &r);
    }
    r.deviceState = DeviceStateWords(o);
    if (o.device == DeviceState::kUnknown) {
        AdviseOnUnknownState(c, &r);
    }
    return r;
}

} // namespace console

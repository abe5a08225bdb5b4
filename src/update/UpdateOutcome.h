// How an update ended: success, or one kind of failure with the facts a user needs about it.
#pragma once
#include <string>

#include "base/SystemError.h"
#include "update/HexFileCheck.h"

namespace update {

// Where an update stands. Each change is told to the observer.
enum class Stage {
    kCheckingPackage,
    kOpeningPort,
    kProbing,               // the modem status read once: which firmware runs
    kIdentifyingDevice,     // "<V" sent, the application firmware's identity awaited
    kRestarting,            // "<W" sent, DSR awaited to drop
    kSwitchingSpeed,        // the line goes to the boot loader's speed
    kSettling,              // the pause before the boot loader is spoken to
    kIdentifyingBootLoader, // identification request sent, version reply awaited
    kAwaitingReady,
    kCountingRows,
    kAwaitingXon,
    kAwaitingXoff,
    kAwaitingLineComplete,
    kAwaitingFileComplete,
    kDone,
};

// The handshake character a failed wait was for.
enum class Awaited { kNothing, kReady, kXon, kXoff, kLineComplete, kFileComplete };

enum class Failure {
    kNone,
    kPackage,      // the HEX file was refused before anything was sent (package problem)
    kPortOpen,     // the port could not be opened (open error)
    kNoIdentity,   // the application firmware gave no valid identity within the limit
    kNoRestart,    // DSR stayed on after "<W"
    kNoVersion,    // no version reply from the boot loader within the limit
    kWrongVersion, // a version reply other than the one expected, or a failed read
    kNoAnswer,     // a handshake character did not come within its limit (awaited)
    kWrongAnswer,  // another character came, or the read failed (awaited, received)
    kHexOpen,      // the HEX file could not be opened at the transfer
    kHexRead,      // the HEX file could not be read at the transfer
    kHexInvalid,   // the transfer's own check of the HEX file refused it (package problem)
    kStopped,      // the user stopped the update
};

// What the device holds after the update, as far as this side can tell.
enum class DeviceState {
    kUnchanged,        // nothing reached the boot loader: the firmware is as it was
    kRestartRequested, // told to restart into its boot loader; its firmware is unchanged
    // The boot loader's identification request went out and nothing answered: a boot loader
    // that heard it may have erased its flash; an application firmware (a line without DSR
    // gave no sign of it) has not changed.
    kUnknown,
    kIncomplete, // the boot loader answered: the firmware may be erased or partial
    kUpdated,
};

struct Outcome {
    Failure failure = Failure::kNone;
    Stage stage = Stage::kCheckingPackage; // where the update ended
    Awaited awaited = Awaited::kNothing;
    bool readFailed = false;       // the wrong answer was a read that gave no character
    char received = 0;             // the wrong answer's character
    std::string reply;             // kWrongVersion: the reply received (at most 100 characters);
                                   // kNoIdentity: the characters received (at most 25)
    base::SystemError openError;   // kPortOpen
    base::SystemError lineError;   // readFailed: why the line failed, as the system says it
    std::string identity;          // the application firmware's identity reply, when it was valid
    std::string bootLoaderVersion; // the boot loader's version reply, when it was valid
    HexFileProblem package;        // kPackage, kHexInvalid
    int rowsSent = 0;              // rows handed to the boot loader
    int totalRows = 0;             // rows of the file, once counted
    bool sentAnything = false;     // any character was written to the device
    DeviceState device = DeviceState::kUnchanged;

    bool ok() const { return failure == Failure::kNone; }
};

} // namespace update

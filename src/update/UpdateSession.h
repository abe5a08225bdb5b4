// update::UpdateSession: one update of one device through one serial line, without any user
// interface: the boot-loader entry and the HEX transfer, told to an observer, ended by an outcome.
#pragma once
#include <string>

#include "base/TextFile.h"
#include "serial/Line.h"
#include "update/HexFileCheck.h"
#include "update/LineWaits.h"
#include "update/UpdateObserver.h"
#include "update/UpdateOutcome.h"

namespace update {

// The firmware HEX file as the update reads it.
struct FirmwarePackage {
    std::string hexPath;               // what is opened
    base::FileOpener* files = nullptr; // null: the machine's own files
    // The whole-file check a face has already made (one package for several devices at once):
    // taken instead of reading the file again before the port opens. Null: the session checks.
    // The transfer checks the rows again as it counts them, whatever this says.
    const HexFileSummary* checked = nullptr;
    // The file's bytes, read once by the face: checked and sent as they are, and the file is
    // not opened at all. Null: the file at hexPath is read.
    const std::string* hexText = nullptr;
};

// Runs on the thread that calls it; every wait goes through the waits seam and is bounded. The
// session keeps what it has done to the device, so each outcome tells the device's state.
// Sessions share nothing: several can run at once, each on its own line, waits and observer.
class UpdateSession {
public:
    UpdateSession(serial::Line& line, LineWaits& waits, UpdateObserver& observer);

    // A whole update: the package checked, the line opened at the application firmware's speed,
    // the device brought into its boot loader, the line switched to the boot loader's speed, and
    // the transfer. The line is closed at the end, whatever the outcome. Nothing is sent before
    // the package has passed its check.
    Outcome Run(const FirmwarePackage& package);

    // The stages one at a time, for a face that does its own work between them. Each returns a
    // failure, or success to go on; none closes the line.

    // The whole-file check of the HEX file; touches no line.
    Outcome CheckPackage(const FirmwarePackage& package);
    // Opens the line at 9600 8N1; on failure the observer may ask for one more try.
    Outcome OpenPort();
    // With DSR on, asks the application firmware for its identity and restarts it into its boot
    // loader; with DSR off the boot loader is taken to run already. The line stays at 9600.
    Outcome EnterBootLoader();
    // 115200 8N1; what arrived at the old speed is discarded.
    void SwitchToBootLoaderSpeed();
    // Identifies the boot loader, awaits its ready character and sends the file row by row under
    // the handshake. On success the line is left open at 115200 for the face to finish with.
    Outcome Transfer(const FirmwarePackage& package);

private:
    Outcome Succeeded();
    Outcome Failed(Failure failure);
    Outcome Stopped() { return Failed(Failure::kStopped); }
    Outcome HandshakeFailed(WaitResult result, char received, Awaited awaited);
    // One handshake character; a failed outcome unless it came in time.
    bool Expect(char awaited, Awaited which, Stage stage, Outcome* failure);
    void Enter(Stage stage);
    void Send(const std::string& text);
    Outcome ReadVersion();

    serial::Line& m_line;
    LineWaits& m_waits;
    UpdateObserver& m_observer;
    Outcome m_facts; // what is known so far; each outcome is a copy with its failure
};

} // namespace update

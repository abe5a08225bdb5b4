// What an update tells its face while it runs.
#pragma once
#include <cstdint>
#include <string>

#include "base/SystemError.h"
#include "update/HexFileCheck.h"
#include "update/UpdateOutcome.h"

namespace update {

// Every call comes from the thread that runs the update, in the order of the exchange. The
// defaults do nothing.
class UpdateObserver {
public:
    virtual ~UpdateObserver() = default;

    virtual void stageChanged(Stage) {}
    // The whole-file check of the HEX file before the port is opened: rows, data and any problem.
    virtual void packageChecked(const HexFileSummary&) {}
    // The line could not be opened. True asks for one more try (after the face has, say, asked
    // another program to let the port go); false ends the update with the failure.
    virtual bool retryOpen(const base::SystemError&) { return false; }
    // The line is open at the application firmware's speed; nothing has been sent yet.
    virtual void portOpened() {}
    // The modem status read at the start: whether DSR is on (the application firmware runs),
    // and whether the status could be read at all.
    virtual void modemStatus(bool /*statusRead*/, bool /*dsrOn*/) {}
    // A wait for the device began; it ends by limitMs at the latest.
    virtual void waitStarted(Stage, std::uint32_t /*limitMs*/) {}
    virtual void bootLoaderVersion(const std::string&) {}
    virtual void rowsCounted(int /*total*/) {}
    // Row `row` of `total` has been written to the device.
    virtual void rowSent(int /*row*/, int /*total*/, std::size_t /*rowLength*/) {}
};

} // namespace update

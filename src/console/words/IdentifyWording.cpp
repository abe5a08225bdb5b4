// The words of --identify for each thing a port may show.
#include "console/words/IdentifyWording.h"

#include "base/ProductNames.h"
#include "console/words/ExitCodes.h"
#include "console/words/OutcomeWording.h"
#include "console/words/Record.h"
#include "console/words/Text.h"

namespace console {

namespace {

std::string Finding(const Identification& f, IdentifyWords* w) {
    if (!f.opened) {
        w->exitCode = kExitPort;
        return "cannot be opened: " + OpenReason(f.openError) + ".";
    }
    if (f.stopSignal != 0) {
        w->exitCode = kExitSignalBase + f.stopSignal;
        return "stopped by " + SignalName(f.stopSignal) + ".";
    }
    switch (f.dsr) {
    case serial::Dsr::kUnknown:
        return "the modem status of this line cannot be read (no DSR): not asked.";
    case serial::Dsr::kOff:
        return "DSR off: a boot loader, or a cable without DSR; not asked.";
    case serial::Dsr::kOn:
        break;
    }
    if (!f.identity.empty()) {
        w->serial = DeviceSerial(f.identity);
        return "DSR on: application firmware, serial " + Escaped(w->serial) + ".";
    }
    if (f.lineFailed) {
        w->exitCode = kExitPort;
        return "DSR on, but the line failed while the identity was awaited.";
    }
    if (f.received.empty()) {
        return "DSR on, but nothing answered \"<V\" within 2 s.";
    }
    return "DSR on, but the answer to \"<V\" is no " DEVICE_NAME " identity: " +
           Quoted(f.received) + ".";
}

} // namespace

IdentifyWords DescribeIdentification(const Identification& found) {
    IdentifyWords w;
    w.lines.push_back(Finding(found, &w));
    // Where the cause of a failed open is not known, the reason is the system's words already.
    const bool openFailureNamed =
        !found.opened && found.openError.cause != base::SystemError::Cause::kUnknown;
    const base::SystemError& error = found.opened ? found.lineError : found.openError;
    if ((openFailureNamed || found.lineFailed) && !SystemSays(error).empty()) {
        w.lines.push_back(SystemSays(error));
    }
    if (!found.opened && !found.openAdvice.empty()) {
        w.lines.push_back(found.openAdvice);
    }
    return w;
}

} // namespace console

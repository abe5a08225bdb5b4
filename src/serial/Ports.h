// serial::Ports: every fact about the machine's serial ports by their own names: which there are,
// the form a name takes, which names lead to one port, whether one is there, what the system says
// of the device behind it, a line to it, and why it did not open with what the user can do.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/SystemError.h"
#include "serial/Line.h"
#include "serial/PortInfo.h"
#include "serial/PortWatch.h"

namespace serial {

// Every call may come from any thread at any time.
class Ports {
public:
    virtual ~Ports() = default;

    // The serial ports present, in the system's order.
    virtual std::vector<PortInfo> list() = 0;
    // The port as a user gives it, in the form the system opens ("3" -> "COM3" on Windows; a path
    // as it stands on Linux); false, with a reason, when it can never name a port.
    virtual bool canonicalName(const std::string& text, std::string* name, std::string* error) = 0;
    // The device a name leads to, so that two names of one port are seen to be one.
    virtual std::string identity(const std::string& name) = 0;
    // Whether something answers to the name now (a port unplugged since it was named does not).
    virtual bool present(const std::string& name) = 0;
    // What the system says of the device behind a port; empty when nothing.
    virtual std::string describe(const std::string& name) = 0;
    // A line to the port (one per update, so that updates share nothing); not opened yet.
    virtual std::unique_ptr<Line> line(const std::string& name) = 0;
    // What the user can do about a port that did not open: the group to join, the program that
    // holds it, where to look; empty when there is nothing to add.
    virtual std::string openAdvice(const std::string& name, const base::SystemError& error) = 0;
    // Being told when ports may have come or gone, from now on; where the system cannot tell,
    // a look every so often on the clock.
    virtual std::unique_ptr<PortWatch> watch(base::Clock& clock) = 0;
};

// The advice every system gives for a port held by a program it cannot name, and for a port
// that is not there.
inline std::string CloseHolderAdvice(const std::string& port) {
    return "Close the other program that uses " + port + ".";
}
constexpr char kMissingPortAdvice[] =
    "See --list-ports for the ports present; a USB adapter may have been unplugged.";

} // namespace serial

// Which ports an update goes through: --port, else the remembered port, else the only port; with
// several --port or --all-ports, each of them.
#pragma once
#include <string>
#include <vector>

#include "console/os/Platform.h"
#include "console/run/Options.h"

namespace console {

struct PortChoice {
    std::vector<std::string> ports; // in the form the system opens; empty when none was chosen
    std::string problem;            // why none was chosen
    int exitCode = 0;               // with a problem: 2 (the command line) or 4 (the ports)
};

// One update: --port (in the form the system opens), else the remembered port when it is
// present, else the only port present. Several: every --port, or every port listed
// (--all-ports, of those that pass a --port-filter); two names of one port are a command-line
// error.
PortChoice ChoosePorts(const Options& options, Platform& platform);

// "--port-filter vid=0403 or --port-filter name=ttyACM*", for messages; empty for none.
std::string FilterList(const Options& options);

} // namespace console

// Which port an update goes through: --port, else the remembered port, else the only port.
#pragma once
#include <string>

#include "console/Options.h"
#include "console/Platform.h"

namespace console {

struct PortChoice {
    int number = 0;      // COM1 to COM12; 0 when none could be chosen
    std::string name;    // for messages: the path as given, or "COM3 (/dev/ttyUSB0)"
    std::string problem; // why none was chosen (exit code 4)
};

// The rules: --port names the port (a path as given, or COMn that must be present); without
// it, the remembered port when it is present, else the only port present. Several ports and
// none remembered, or none at all, choose nothing.
PortChoice ChoosePort(const Options& options, Platform& platform, int remembered);

} // namespace console

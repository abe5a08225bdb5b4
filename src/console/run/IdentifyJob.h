// --identify: which device is on each port, asked without changing anything: DSR, and where it
// is on, the application firmware's identity ("<V" alone, at 9600 baud). Nothing a boot loader
// acts on is sent; the remembered port is left alone.
#pragma once
#include <string>

#include "console/os/Platform.h"
#include "console/run/Options.h"
#include "console/words/IdentifyWording.h"

namespace console {

// The ports as an update chooses them (the options' names in the system's form), each looked
// at on a thread of its own; one line per port on out (on err where it failed), in the given
// order, and one record each with --report. The worst exit code of the ports.
int RunIdentify(const Options& options, Platform& platform, const Stream& out, const Stream& err);

// One port: opened at 9600 8N1, DSR read, and with DSR on "<V" and its reply within 2 s; closed.
Identification IdentifyPort(Platform& platform, const std::string& port);

} // namespace console

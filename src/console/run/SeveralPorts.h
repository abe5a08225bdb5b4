// keystrand-update's update of several devices at once, one per port, from one package.
#pragma once
#include "console/os/Platform.h"
#include "console/run/Options.h"

namespace console {

// The package read and checked once, before any port is touched; then one update per port, each
// on a thread of its own with its own line, waits, view and trace, all drawn by this thread;
// then the table of their outcomes. Returns the worst of their exit codes. The remembered port
// is left as it was.
int RunSeveralPorts(const Options& options, Platform& platform, const Stream& out,
                    const Stream& err);

} // namespace console

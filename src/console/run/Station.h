// keystrand-update --watch: a hands-free station. Every device plugged in is updated once, its
// update recorded and shown; the station runs until Ctrl-C or SIGTERM.
#pragma once
#include "console/os/Platform.h"
#include "console/run/Options.h"

namespace console {

// The package read and checked once (one that cannot be sent ends the station before it
// begins); then every port that passes the filters is updated once per plug, several at once,
// each on its own thread, drawn by this one; a device is left alone after its update until it
// is unplugged. A stop ends the station: updates that run are stopped and waited for; then the
// table of every update. Returns 0 when every update succeeded (or none was made), else the
// worst of their exit codes; 1 when a record could not be written.
int RunStation(const Options& options, Platform& platform, const Stream& out, const Stream& err);

} // namespace console

// keystrand-update's jobs: the update, the package check, the port listing, and (IdentifyJob) the
// look at the ports.
#pragma once
#include <cstdio>

#include "console/os/Platform.h"
#include "console/run/Options.h"

namespace console {

// Does what the options ask on the platform, writing to out and err; returns the exit code.
// What each stream is (a terminal or not) is asked here, once.
int RunConsole(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);

// The options' ports are in the form the system opens (RunConsole makes them so).
int RunUpdate(const Options& options, Platform& platform, const Stream& out, const Stream& err);
int RunCheck(const Options& options, Platform& platform, const Stream& out, const Stream& err);
// The ports that pass the options' filters.
int ListPorts(const Options& options, Platform& platform, const Stream& out);

} // namespace console

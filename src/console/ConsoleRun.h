// keystrand-update's three jobs: the update, the package check and the port listing.
#pragma once
#include <cstdio>

#include "console/Options.h"
#include "console/Package.h"
#include "console/Platform.h"

namespace console {

// Does what the options ask on the platform, writing to out and err; returns the exit code.
int RunConsole(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);

int RunUpdate(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);
int RunCheck(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);
int ListPorts(Platform& platform, std::FILE* out);

} // namespace console

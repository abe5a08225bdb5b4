// keystrand-update's three jobs: the update, the package check and the port listing.
#pragma once
#include <cstdio>

#include "console/Options.h"
#include "console/Platform.h"

namespace console {

// The application name under which the remembered port is kept: the update dialog's own, so
// that both front ends remember the same port.
extern const char* const kSettingsAppName;

// Does what the options ask on the platform, writing to out and err; returns the exit code.
// The update and the check run the update dialog's own code on the framework's dialog model,
// playing its user: choose the port, click Begin Update, read the outcome, click Done.
int RunConsole(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);

int RunUpdate(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);
int RunCheck(const Options& options, Platform& platform, std::FILE* out, std::FILE* err);
int ListPorts(Platform& platform, std::FILE* out);

} // namespace console

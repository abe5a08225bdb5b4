// Why a file or a tty cannot be used on this machine, in words a user can act on.
#pragma once
#include <string>

#include "fw/SystemError.h"

namespace console {

// "no such file", "permission denied", "a folder, not a file", "in use by another update"
// (another process holds its lock: an update reads its HEX file under one), or the system's
// words.
std::string WhyFileUnreadable(const std::string& path);

// For a tty that did not open: the group to join when permission was denied, the program that
// holds it when it is busy, where to look when it does not exist. Empty when nothing helps.
std::string TtyOpenAdvice(const std::string& path, const fw::SystemError& error);

// The process that has the device open, as "minicom (process 1234)"; empty when none is found
// (or it may not be looked at).
std::string HolderOf(const std::string& path);

} // namespace console

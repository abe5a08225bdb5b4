// Why a file or a tty cannot be used on this machine, in words a user can act on.
#pragma once
#include <string>

#include "base/SystemError.h"

namespace console {

// "no such file", "permission denied", "a folder, not a file", "not a regular file", or the
// system's words.
std::string WhyFileUnreadable(const std::string& path);

// For a tty that did not open: when permission was denied, the group to join where that group
// may use the tty, else who may and how to get access; the program that holds it when it is
// busy; where to look when it does not exist. Empty when nothing helps.
std::string TtyOpenAdvice(const std::string& path, const base::SystemError& error);

} // namespace console

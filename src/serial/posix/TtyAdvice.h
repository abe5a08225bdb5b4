// Why a tty did not open, in words a user can act on.
#pragma once
#include <string>

#include "base/SystemError.h"

namespace serial::posix {

// For a tty that did not open: when permission was denied, the group to join where that group
// may use the tty, else who may and how to get access; the program that holds it when it is
// busy; where to look when it does not exist. Empty when nothing helps.
std::string TtyOpenAdvice(const std::string& path, const base::SystemError& error);

} // namespace serial::posix

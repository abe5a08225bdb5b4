// Which other program has a tty open, as /proc tells where the system lets us look.
#pragma once
#include <string>

namespace serial::posix {

// Another process that has the device (the file the path leads to) open: its name from
// /proc/<pid>/comm and its number, "screen (process 1234)", the name as the process gave it
// (not escaped). Empty when none is found, or when the system hides the other processes.
std::string OtherHolderOf(const std::string& path);

} // namespace serial::posix

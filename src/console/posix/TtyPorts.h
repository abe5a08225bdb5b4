// The host's COM numbers: which tty stands for COM1 to COM12, from the ttys found and the options.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "serial/posix/ComPortTable.h"

namespace console {

// The USB serial ttys in the folder: ttyUSB<n> first, then ttyACM<n>, each in number order.
// Full paths; an unreadable folder gives none.
std::vector<std::string> FindSerialTtys(const std::string& devDir);

struct HostPorts {
    serial::posix::ComPortTable table;
    // Where each numbered port came from ("--map", "found", "--port"), by COM number.
    std::vector<std::pair<int, std::string>> origins;
    // Ttys found that got no number because COM1 to COM12 were taken.
    std::vector<std::string> unnumbered;
    // The number of each --port path, as given.
    std::vector<std::pair<std::string, int>> portPathNumbers;

    // The number of a --port path; 0 when it was not given.
    int numberOfPortPath(const std::string& path) const;
};

// Numbers the ports: the --map entries keep their numbers; the ttys found take the lowest free
// numbers, unless a --map entry already names the same device; each --port path is matched
// with the entries (by path, then by the file it resolves to) or takes the lowest free number.
// False, with a reason, when a --port path finds no free number.
bool NumberPorts(const std::vector<std::pair<int, std::string>>& maps,
                 const std::vector<std::string>& found, const std::vector<std::string>& portPaths,
                 HostPorts* ports, std::string* error);

} // namespace console

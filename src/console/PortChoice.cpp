// The choice of the port for an update.
#include "console/PortChoice.h"

#include "ui/PortRange.h"

#include <vector>

#include "ui/PortRange.h"

namespace console {

namespace {

std::string ComName(int n) {
    return "COM" + std::to_string(n);
}

// "COM3 (/dev/ttyUSB0)" where the port has a path of its own to show; a Windows device name
// says no more than COM3.
std::string Named(const PortListing& p) {
    return p.path.empty() || p.path.rfind("\\\\", 0) == 0 ? ComName(p.number)
                                                          : ComName(p.number) + " (" + p.path + ")";
}

} // namespace

PortChoice ChoosePort(const Options& options, Platform& platform, int remembered) {
    PortChoice choice;
    std::vector<PortListing> present;
    for (const PortListing& p : platform.ports()) {
        if (IsOfferedComPort(p.number)) {
            present.push_back(p);
        }
    }
    auto find = [&](int n) -> const PortListing* {
        for (const PortListing& p : present) {
            if (p.number == n) {
                return &p;
            }
        }
        return nullptr;
    };

    if (!options.port.empty()) {
        const int n = platform.resolvePort(options.port);
        const PortListing* p = find(n);
        if (IsDevicePath(options.port)) {
            choice.number = n;
            choice.name = options.port; // as given: the user knows it by that name
            if (n == 0) {
                choice.problem = "no COM number is free for " + options.port +
                                 ": COM1 to COM12 are taken (see --list-ports)";
            }
        } else if (p == nullptr) {
            choice.problem = options.port + " is not present on this computer (see --list-ports)";
        } else {
            choice.number = n;
            choice.name = Named(*p);
        }
        return choice;
    }
    if (const PortListing* p = find(remembered)) {
        choice.number = p->number;
        choice.name = Named(*p);
        return choice;
    }
    if (present.size() == 1) {
        choice.number = present.front().number;
        choice.name = Named(present.front());
        return choice;
    }
    if (present.empty()) {
        choice.problem = "No serial port found (see --list-ports).";
        return choice;
    }
    std::string names;
    for (const PortListing& p : present) {
        names += (names.empty() ? "" : ", ") + Named(p);
    }
    choice.problem = "Several serial ports are present and none is remembered: " + names +
                     ". Choose one with --port.";
    return choice;
}

} // namespace console

// The command line of keystrand-update: its options, their parsing and the help text.
#pragma once
#include <string>
#include <vector>

#include "serial/PortFilter.h"

namespace console {

struct Options {
    bool help = false;
    bool version = false;
    bool listPorts = false;
    bool check = false;
    // --identify: each port's DSR and the application firmware's identity; nothing changed.
    bool identify = false;
    // Empty when not given: the program's own folder.
    std::string packageDir;
    // Every --port, as given, in order. None: the remembered port, else the only port present.
    std::vector<std::string> ports;
    // --all-ports: every port present.
    bool allPorts = false;
    // Empty when no trace is wanted. With several ports, a folder.
    std::string trace;
    // Empty when no record is wanted: the file each update's record is appended to.
    std::string report;

    // --watch: a station; every device plugged in is updated once per plug, until a stop.
    bool watch = false;
    // Every --port-filter, parsed: with --watch, --all-ports and --list-ports, only the ports
    // that pass one of them. None: every port.
    std::vector<serial::PortFilter> portFilters;

    // Several devices at once, one per port: several --port, or --all-ports.
    bool severalPorts() const { return allPorts || ports.size() > 1; }
};

// Reads the arguments after the program name. False, with a one-line reason, when an option is
// unknown, lacks its value, is given twice where once is allowed, or options that exclude each
// other are given together. Port names are checked by the platform, which knows their form.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

// Whether Windows takes a file of that path for a device: its last part, up to the first dot,
// is CON, PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 in any case ("COM1.log" writes to COM1).
bool IsWindowsDeviceName(const std::string& path);

// "keystrand-update 2.0.0.9".
std::string VersionText(const std::string& programName);

// The whole --help text for the platform this program was built for, no line wider than 79
// columns.
std::string HelpText(const std::string& programName);

} // namespace console

// Parsing of keystrand-update's command line (getopt_long) and its help text.
#include "console/run/Options.h"

#include <cctype>

#include <getopt.h>

#include "app/ProgramVersion.h"
#include "base/ProductNames.h"
#include "console/words/ExitCodes.h"

namespace console {

namespace {

enum LongOnly { kListPorts = 256, kCheck, kIdentify, kPackage, kPort, kAllPorts, kTrace, kReport };

// The station's options.
enum StationOptions { kWatch = 320, kPortFilter };

const option kOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"list-ports", no_argument, nullptr, kListPorts},
    {"check", no_argument, nullptr, kCheck},
    {"identify", no_argument, nullptr, kIdentify},
    {"package", required_argument, nullptr, kPackage},
    {"port", required_argument, nullptr, kPort},
    {"all-ports", no_argument, nullptr, kAllPorts},
    {"trace", required_argument, nullptr, kTrace},
    {"report", required_argument, nullptr, kReport},
    // The station's.
    {"watch", no_argument, nullptr, kWatch},
    {"port-filter", required_argument, nullptr, kPortFilter},
    {nullptr, 0, nullptr, 0},
};

// The option's own name as the user wrote it, for messages.
std::string OptionName(int code) {
    for (const option& o : kOptions) {
        if (o.name != nullptr && o.val == code) {
            return std::string("--") + o.name;
        }
    }
    return "-" + std::string(1, static_cast<char>(code));
}

bool TakeOnce(int code, const char* value, std::string* into, std::string* error) {
    if (!into->empty()) {
        *error = OptionName(code) + " is given more than once";
        return false;
    }
    if (*value == '\0') {
        *error = OptionName(code) + " needs a value that is not empty";
        return false;
    }
    *into = value;
    return true;
}

// The station's options: --watch, and the filters it shares with --all-ports and --list-ports.
bool ApplyStation(int code, const char* value, Options* o, std::string* error) {
    if (code == kWatch) {
        o->watch = true;
        return true;
    }
    serial::PortFilter filter;
    if (!serial::PortFilter::Parse(value, &filter, error)) {
        return false;
    }
    o->portFilters.push_back(filter);
    return true;
}

bool Apply(int code, const char* value, Options* o, std::string* error) {
    switch (code) {
    case 'h':
        o->help = true;
        return true;
    case 'V':
        o->version = true;
        return true;
    case kListPorts:
        o->listPorts = true;
        return true;
    case kCheck:
        o->check = true;
        return true;
    case kIdentify:
        o->identify = true;
        return true;
    case kAllPorts:
        o->allPorts = true;
        return true;
    case kPackage:
        return TakeOnce(code, value, &o->packageDir, error);
    case kReport:
        return TakeOnce(code, value, &o->report, error);
    case kTrace:
        if (!TakeOnce(code, value, &o->trace, error)) {
            return false;
        }
#ifdef _WIN32
        if (IsWindowsDeviceName(o->trace)) {
            *error = "--trace " + o->trace +
                     ": Windows takes that name for a device, not a file; choose another";
            return false;
        }
#endif
        return true;
    case kPort:
        if (*value == '\0') {
            *error = "--port needs a value that is not empty";
            return false;
        }
        for (const std::string& given : o->ports) {
            if (given == value) {
                *error = "--port " + given + " is given twice";
                return false;
            }
        }
        o->ports.push_back(value);
        return true;
    case kWatch:
    case kPortFilter:
        return ApplyStation(code, value, o, error);
    default:
        return false;
    }
}

// Options that ask for different jobs cannot share a command line.
bool CheckCombination(const Options& o, std::string* error) {
    const char* job = o.listPorts ? "--list-ports" : o.check ? "--check" : nullptr;
    if (o.listPorts && o.check) {
        *error = "--list-ports and --check cannot be given together";
    } else if (o.identify && job != nullptr) {
        *error = std::string("--identify and ") + job + " cannot be given together";
    } else if (o.identify && !o.packageDir.empty()) {
        *error = "--identify reads no package: leave out --package";
    } else if (o.identify && !o.trace.empty()) {
        *error = "--identify updates nothing to trace: leave out --trace";
    } else if (job != nullptr && (o.allPorts || !o.ports.empty())) {
        *error = std::string(job) + " touches no port: leave out " +
                 (o.allPorts ? "--all-ports" : "--port");
    } else if (job != nullptr && !o.trace.empty()) {
        *error = std::string(job) + " sends nothing to trace: leave out --trace";
    } else if (job != nullptr && !o.report.empty()) {
        *error = std::string(job) + " updates no device to report: leave out --report";
    } else if (o.allPorts && !o.ports.empty()) {
        *error = "--all-ports and --port cannot be given together";
    } else {
        return true;
    }
    return false;
}

// The station runs alone; the filters choose among the ports present.
bool CheckStationCombination(const Options& o, std::string* error) {
    if (o.watch && (o.listPorts || o.check || o.identify)) {
        *error = std::string("--watch and ") +
                 (o.listPorts ? "--list-ports"
                  : o.check   ? "--check"
                              : "--identify") +
                 " cannot be given together";
    } else if (o.watch && o.allPorts) {
        *error = "--watch and --all-ports cannot be given together: --watch updates every "
                 "port that comes";
    } else if (o.watch && !o.ports.empty()) {
        *error = "--watch updates every port that comes: leave out --port (--port-filter "
                 "chooses the ports)";
    } else if (!o.portFilters.empty() && !o.watch && !o.allPorts && !o.listPorts) {
        *error = "--port-filter chooses among the ports present: give it with --watch, "
                 "--all-ports or --list-ports";
    } else {
        return true;
    }
    return false;
}

} // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
    *options = Options();
    std::vector<std::string> words = {CONSOLE_PROGRAM_NAME};
    for (const std::string& a : args) {
        // The Windows habit, and a question mark that getopt keeps for its own errors.
        if (a == "/?" || a == "-?") {
            options->help = true;
            return true;
        }
        words.push_back(a);
    }
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(&w[0]);
    }
    argv.push_back(nullptr);

    optind = 0; // a new scan, whatever an earlier one left
    opterr = 0; // the messages are ours
    const int argc = static_cast<int>(words.size());
    for (;;) {
        const int before = optind == 0 ? 1 : optind;
        const int code = ::getopt_long(argc, argv.data(), "+hV", kOptions, nullptr);
        if (code == -1) {
            break;
        }
        if (code == '?') {
            const std::string word = before < argc ? words[static_cast<std::size_t>(before)] : "";
            if (optopt != 0 && word.find('=') != std::string::npos) {
                *error = OptionName(optopt) + " takes no value";
            } else if (optopt >= kListPorts) {
                *error = OptionName(optopt) + " needs a value";
            } else {
                *error = "unknown option \"" + word + "\" (see --help)";
            }
            return false;
        }
        if (!Apply(code, optarg != nullptr ? optarg : "", options, error)) {
            return false;
        }
    }
    if (optind < argc) {
        *error =
            "unexpected argument \"" + words[static_cast<std::size_t>(optind)] + "\" (see --help)";
        return false;
    }
    return CheckCombination(*options, error) && CheckStationCombination(*options, error);
}

bool IsWindowsDeviceName(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("/\\:");
    std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    base = base.substr(0, base.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back(); // Windows drops trailing blanks of a name
    }
    std::string upper;
    for (char c : base) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") {
        return true;
    }
    return upper.size() == 4 &&
           (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

std::string VersionText(const std::string& programName) {
    return programName + " " PROGRAM_VERSION_TEXT;
}

std::string HelpText(const std::string& p) {
#ifdef _WIN32
    const char* const portForm = "COM3, 3 or \\\\.\\COM3: any COM port";
#else
    const char* const portForm = "by its path:\n"
                                 "                 /dev/ttyUSB0, /dev/serial/by-id/..., any tty";
#endif
    std::string t;
    t += "Usage: " + p + " [--package DIR] [--port PORT] [--trace FILE]\n";
    t += "           [--report FILE]\n";
    t += "       " + p + " [--package DIR] (--port PORT --port PORT...\n";
    t += "           | --all-ports) [--trace DIR] [--report FILE]\n";
    t += "       " + p + " --identify [--port PORT... | --all-ports]\n";
    t += "           [--report FILE]\n";
    t += "       " + p + " [--package DIR] --watch [--port-filter FILTER]...\n";
    t += "           [--trace DIR] [--report FILE]\n";
    t += "       " + p + " --check [--package DIR]\n";
    t += "       " + p + " --list-ports [--port-filter FILTER]...\n";
    t += "       " + p + " --version | --help\n\n";
    t += "Puts new firmware into the " DEVICE_NAME " over a serial port: reads the firmware\n"
         "package, talks the device's application firmware into its boot loader (when\n"
         "the device holds DSR up; without DSR the boot loader is assumed to run), sends\n"
         "the HEX file row by row under the boot loader's handshake, shows the progress,\n"
         "says how the update ended and what the device holds, and remembers the port\n"
         "after a successful update. Ctrl-C stops the update at once.\n\n";
    t += "Options:\n";
    t += "  --package DIR  folder of the firmware package: " DESCRIPTION_FILE_NAME " (firmware\n"
         "                 version, HEX file name) and that HEX file (default: this\n"
         "                 program's own folder)\n";
    t += "  --port PORT    the port to update through, " + std::string(portForm) +
         ".\n"
         "                 Default: the remembered port when present, else the only\n"
         "                 port present. Give it several times to update several\n"
         "                 devices at once.\n";
    t += "  --all-ports    one update on every port that --list-ports shows, at once\n";
    t += "  --watch        a station, until Ctrl-C: each device plugged in is updated\n"
         "                 once (see Station below)\n";
    t += "  --port-filter FILTER\n"
         "                 with --watch, --all-ports or --list-ports: only the ports\n"
         "                 that pass FILTER: vid=0403, pid=6001 (USB ids), serial=A1B2C3\n"
         "                 (the adapter's serial number), name=ttyUSB* (* and ?), or\n"
         "                 several joined by commas (all must hold). Give it several\n"
         "                 times: a port passing any.\n";
    t += "  --trace FILE   log the update: version, date, port and device, every\n"
         "                 character sent and received with its time (rows by number),\n"
         "                 the outcome. With several ports a folder (made when missing)\n"
         "                 with one log per port, trace-<port name>.log\n";
    t += "  --report FILE  append one line of JSON per device to FILE, whatever the\n"
         "                 outcome: time, host, port, device, package, SHA-256 of the HEX\n"
         "                 file sent, device serial, rows, outcome, device state, exit\n"
         "                 code and message (the fields: see the README)\n";
    t += "  --identify     for each port: DSR, and where it is on, the application\n"
         "                 firmware's identity (\"<V\" alone, at 9600 baud) with its\n"
         "                 serial; nothing else is sent, nothing changes, no package is\n"
         "                 read. Ports as for an update. With --report, one record each\n"
         "                 (outcome \"identified\")\n";
    t += "  --check        check the package and every row of the HEX file (records,\n"
         "                 checksums, one end-of-file record at the end); no port\n";
    t += "  --list-ports   list the serial ports present and what the system says of\n"
         "                 each device\n";
    t += "  --version      the program's version\n";
    t += "  --help         this text\n\n";
    t += "Exit codes:\n";
    t += "  0  success: updated (or --check found the package good, or --list-ports, or\n"
         "     --identify looked at every port, whatever answered)\n";
    t += "  1  the program itself failed\n";
    t += "  2  bad command line, or the trace file cannot be created\n";
    t += "  3  package: a file of the package is missing, unreadable or cannot be\n"
         "     flashed\n";
    t += "  4  port: none found, several and none chosen, not present, cannot be opened\n"
         "     (or failed while --identify awaited the identity)\n";
    t += "  5  device entry: the application firmware did not identify itself or did\n"
         "     not restart into its boot loader; its firmware is unchanged\n";
    t += "  6  transfer: the boot loader did not answer or answered wrongly\n";
    t += "  130  stopped by Ctrl-C; 143 stopped by SIGTERM (where it stood is said)\n\n";
    t += "Several devices:\n"
         "  With several --port or --all-ports each port gets an update of its own, all\n"
         "  at once, from the one package, checked once before any port is opened. A\n"
         "  device that fails or stays silent does not stop or slow the others; Ctrl-C\n"
         "  stops them all. A table ends the run; the exit code is the worst of the\n"
         "  ports': stopped, 1, 6, 5, 4, 3, then 0. The remembered port is left as it\n"
         "  was.\n\n";
    t += "Station:\n"
         "  With --watch every serial port that --list-ports shows (and that passes a\n"
         "  --port-filter) is updated once per plug: those present at once, and each\n"
         "  that appears after a moment to settle; several at once, each on its own.\n"
         "  A device is then left alone, whatever the outcome, until it is unplugged;\n"
         "  plugged in again, it is updated again. On a terminal each port present has\n"
         "  a line (waiting, the bar, updated with the device's serial, or failed:\n"
         "  unplug to retry), with the totals under them; an update's end rings the\n"
         "  bell. Ctrl-C or SIGTERM ends the station with the table of its updates\n"
         "  and the worst exit code as for several devices (0: all updated); it stops\n"
         "  an update that runs. --report records every update; --trace DIR writes\n"
         "  one file per update, trace-<port>-<UTC time>.log.\n\n";
    t += "Remembered port:\n";
#ifdef _WIN32
    t +=
        "  HKEY_CURRENT_USER\\Software\\" COMPANY_NAME "\\" PROGRAM_NAME "\\" SETTINGS_SECTION ",\n"
        "  value " SETTINGS_PORT_ENTRY ": the Firmware Update dialog's own setting.\n";
#else
    t += "  its path, in $KEYSTRAND_UPDATE_SETTINGS when set, else in\n"
         "  $XDG_CONFIG_HOME/keystrand-update/settings, else in\n"
         "  ~/.config/keystrand-update/settings.\n\n";
    t += "Environment:\n";
    t += "  KEYSTRAND_UPDATE_SETTINGS  the settings file (see above)\n";
    t += "  KEYSTRAND_UPDATE_DEV_DIR   where --list-ports looks for ttyUSB*, ttyACM* and\n"
         "                             serial/by-id (default /dev)\n";
    t += "  KEYSTRAND_UPDATE_SYS_DIR   where the USB devices' facts are read (default\n"
         "                             /sys)\n";
#endif
#ifdef _WIN32
    t += "\nEnvironment:\n";
#endif
    t += "  KEYSTRAND_UPDATE_SETTLE_MS the station's moment to settle, in milliseconds\n"
         "                             (default 1000)\n";
    return t;
}

} // namespace console

// Parsing of keystrand-update's command line and its help text.
#include "console/Options.h"

#include <cctype>

#include "app/ProgramNames.h"
#include "app/ProgramVersion.h"
#include "console/ExitCodes.h"
#include "ui/PortRange.h"

namespace console {

namespace {

bool AllDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// Splits "--name=value" into its two halves; a plain "--name" keeps an empty value.
void SplitOption(const std::string& arg, std::string* name, std::string* value, bool* hasValue) {
    const std::string::size_type eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        *name = arg.substr(0, eq);
        *value = arg.substr(eq + 1);
        *hasValue = true;
    } else {
        *name = arg;
        value->clear();
        *hasValue = false;
    }
}

} // namespace

int ComNumberFromText(const std::string& text) {
    std::string digits;
    if (StartsWithNoCase(text, "\\\\.\\COM")) {
        digits = text.substr(7);
    } else if (StartsWithNoCase(text, "COM")) {
        digits = text.substr(3);
    } else {
        digits = text;
    }
    if (!AllDigits(digits) || digits.size() > 3 || digits[0] == '0') {
        return 0;
    }
    const int n = std::stoi(digits);
    return n >= 1 && n <= 255 ? n : 0;
}

bool IsDevicePath(const std::string& text) {
#ifdef _WIN32
    (void)text;
    return false; // Windows names its ports COMn
#else
    return text.find('/') != std::string::npos;
#endif
}

std::string VersionText(const std::string& programName) {
    return programName + " " PROGRAM_VERSION_TEXT;
}

namespace {

// A --port value that can never name a port is a mistake on the command line.
bool CheckPortText(const std::string& port, std::string* error) {
    if (port.empty() || IsDevicePath(port)) {
        return true;
    }
    const int n = ComNumberFromText(port);
    if (IsOfferedComPort(n)) {
        return true;
    }
    if (n > kLastComPort) {
        *error = "--port " + port + ": the update reaches COM1 to COM12 only";
        return false;
    }
#ifdef _WIN32
    *error = "--port takes COMn, n or \\\\.\\COMn with n from 1 to 12, not \"" + port + "\"";
#else
    *error = "--port takes a tty path such as /dev/ttyUSB0, or COMn with n from 1 to 12, not \"" +
             port + "\"";
    if (port.rfind("tty", 0) == 0) {
        *error += " (did you mean /dev/" + port + "?)";
    }
#endif
    return false;
}

} // namespace

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

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
    *options = Options();
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name;
        std::string value;
        bool hasValue = false;
        SplitOption(args[i], &name, &value, &hasValue);

        auto takeValue = [&](std::string* into) {
            if (!into->empty()) {
                *error = name + " is given more than once";
                return false;
            }
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    *error = name + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (value.empty()) {
                *error = name + " needs a value that is not empty";
                return false;
            }
            *into = value;
            return true;
        };
        auto noValue = [&](bool* flag) {
            if (hasValue) {
                *error = name + " takes no value";
                return false;
            }
            *flag = true;
            return true;
        };

        bool ok = true;
        if (name == "--help" || name == "-h" || name == "-?" || name == "/?") {
            ok = noValue(&options->help);
        } else if (name == "--version" || name == "-V") {
            ok = noValue(&options->version);
        } else if (name == "--list-ports") {
            ok = noValue(&options->listPorts);
        } else if (name == "--check") {
            ok = noValue(&options->check);
        } else if (name == "--package") {
            ok = takeValue(&options->packageDir);
        } else if (name == "--port") {
            std::string port;
            ok = takeValue(&port);
            for (const std::string& given : options->ports) {
                if (ok && given == port) {
                    *error = "--port " + port + " is given twice";
                    return false;
                }
            }
            if (ok) {
                options->ports.push_back(port);
                options->port = options->ports.front();
            }
        } else if (name == "--all-ports") {
            ok = noValue(&options->allPorts);
        } else if (name == "--trace") {
            ok = takeValue(&options->traceFile);
#ifdef _WIN32
            if (ok && IsWindowsDeviceName(options->traceFile)) {
                *error = "--trace " + options->traceFile +
                         ": Windows takes that name for a device, not a file; choose another";
                return false;
            }
#endif
        } else if (name == "--map") {
#ifdef _WIN32
            *error = "--map is not needed on Windows: the system names the COM ports";
            return false;
#else
            std::string entry;
            ok = takeValue(&entry);
            if (ok) {
                const std::string::size_type eq = entry.find('=');
                const int n = eq == std::string::npos ? 0 : ComNumberFromText(entry.substr(0, eq));
                if (!IsOfferedComPort(n) || eq + 1 >= entry.size()) {
                    *error = "--map takes COMn=PATH with n from 1 to 12, not \"" + entry + "\"";
                    return false;
                }
                for (const auto& m : options->maps) {
                    if (m.first == n) {
                        *error = "--map gives COM" + std::to_string(n) + " twice";
                        return false;
                    }
                }
                options->maps.emplace_back(n, entry.substr(eq + 1));
            }
#endif
        } else {
            *error = "unknown argument \"" + args[i] + "\" (see --help)";
            return false;
        }
        if (!ok) {
            return false;
        }
    }
    if (options->listPorts && options->check) {
        *error = "--list-ports and --check cannot be given together";
        return false;
    }
    if (options->allPorts && (options->listPorts || options->check || !options->ports.empty())) {
        *error = std::string("--all-ports and ") +
                 (options->listPorts ? "--list-ports"
                  : options->check   ? "--check"
                                     : "--port") +
                 " cannot be given together";
        return false;
    }
    for (const std::string& port : options->ports) {
        if (!CheckPortText(port, error)) {
            return false;
        }
    }
    return true;
}

std::string HelpText(const std::string& programName) {
    std::string t;
    t += "Usage: " + programName + " [--package DIR] [--port PORT] [--trace FILE]";
#ifndef _WIN32
    t += " [--map COMn=PATH]...";
#endif
    t += "\n";
    t += "       " + programName +
         " [--package DIR] (--port PORT --port PORT... | --all-ports) [--trace DIR]";
#ifndef _WIN32
    t += "\n                        [--map COMn=PATH]...";
#endif
    t += "\n";
    t += "       " + programName + " --check [--package DIR]\n";
    t += "       " + programName + " --list-ports";
#ifndef _WIN32
    t += " [--port PORT] [--map COMn=PATH]...";
#endif
    t += "\n       " + programName + " --version | --help\n\n";
    t += "Puts new firmware into the Keystrand SM over a serial port, as the Keystrand SM\n"
         "Firmware Update dialog does: it reads the firmware package, talks the device's\n"
         "application firmware into its boot loader (when the device holds DSR up; without DSR\n"
         "the boot loader is assumed to be running), sends the HEX file row by row under the\n"
         "boot loader's handshake, shows the progress (a bar on a terminal, plain lines\n"
         "otherwise), says how the update ended and what the device holds, and remembers the\n"
         "port after a successful update. Ctrl-C stops the update at once.\n\n";
    t += "Options:\n";
    t += "  --package DIR     folder of the firmware package: Keystrand_SM.txt (the firmware\n"
         "                    version and the HEX file's name) and that HEX file\n"
         "                    (default: this program's own folder)\n";
#ifdef _WIN32
    t += "  --port PORT       the port to update through: COM3, 3 or \\\\.\\COM3 (COM1 to\n"
         "                    COM12). Default: the remembered port when it is present, else\n"
         "                    the only port present; with several ports and none remembered,\n"
         "                    the port must be given.\n";
#else
    t += "  --port PORT       the port to update through: a tty path such as /dev/ttyUSB0\n"
         "                    (any path to a terminal; it gets a COM number if it has none),\n"
         "                    or COM3 / 3 for the COM number mapped over the ttys found.\n"
         "                    Default: the remembered port when it is present, else the only\n"
         "                    port present; with several ports and none remembered, the port\n"
         "                    must be given.\n";
    t += "  --map COMn=PATH   give the device at PATH the number COMn (n from 1 to 12); may be\n"
         "                    repeated. Mapped ports come first; then the ttys found\n"
         "                    (/dev/ttyUSB*, then /dev/ttyACM*, in number order) take the\n"
         "                    lowest free numbers; then a --port path that is still unmapped.\n";
#endif
    t += "  --port PORT ...   several --port: one update on each port, all at once (see\n"
         "                    Several devices below)\n";
    t += "  --all-ports       one update on every port that --list-ports shows, all at once\n";
    t += "  --trace FILE      write a log of the update: the program's version, the date, the\n"
         "                    port and its device, then every character sent to and received\n"
         "                    from the port with its time (rows by number), and the outcome.\n"
         "                    With several ports, a folder (made when missing) that gets one\n"
         "                    log per port, named trace-COMn.log\n";
    t += "  --check           check the package and every row of the HEX file (Intel-HEX\n"
         "                    records with their checksums, ending in the end-of-file record)\n"
         "                    without touching any port\n";
    t += "  --list-ports      list the serial ports found, with their COM numbers and paths\n";
    t += "  --version         the program's version\n";
    t += "  --help            this text\n\n";
    t += "Exit codes:\n";
    t += "  " + std::to_string(kExitSuccess) +
         "  success: the firmware was updated (or --check found the package good, or\n"
         "     --list-ports listed the ports)\n";
    t += "  " + std::to_string(kExitOther) + "  the program itself failed\n";
    t += "  " + std::to_string(kExitUsage) +
         "  bad command line, or the trace file cannot be created\n";
    t += "  " + std::to_string(kExitPackage) +
         "  package: the description file or the HEX file is missing, unreadable or\n"
         "     cannot be flashed (or changed during the update)\n";
    t += "  " + std::to_string(kExitPort) +
         "  port: no port found, several ports and none chosen, the chosen port is not\n"
         "     present, or it cannot be opened (the reason is given)\n";
    t += "  " + std::to_string(kExitDeviceEntry) +
         "  device entry: the application firmware did not identify itself or did not\n"
         "     restart into its boot loader; its firmware is unchanged\n";
    t += "  " + std::to_string(kExitTransfer) +
         "  transfer: the boot loader did not answer or answered wrongly; the firmware is\n"
         "     incomplete: run the update again\n";
    t += "  130  stopped by Ctrl-C (the device's state is said)\n";
    t += "  143  stopped by SIGTERM (the same)\n\n";
    t += "Several devices:\n"
         "  With several --port or --all-ports, each port gets an update of its own, all at\n"
         "  once, from the one package, which is checked once before any port is opened. A\n"
         "  device that fails, is unplugged or stays silent does not stop or slow the others;\n"
         "  Ctrl-C stops them all and says where each one stood. On a terminal each port has\n"
         "  one line redrawn in place; otherwise every line begins with its port. A table\n"
         "  ends the run: each port with its outcome, rows and time. The exit code is the\n"
         "  worst of the ports' exit codes, from the worst: stopped (130 or 143), 1, 6, 5,\n"
         "  4, 3, and 0 when every device was updated.\n"
         "  The remembered port is left as it was.\n\n";
    t += "Remembered port:\n";
#ifdef _WIN32
    t += "  HKEY_CURRENT_USER\\Software\\" COMPANY_NAME "\\" PROGRAM_NAME "\\" SETTINGS_SECTION
         ", value\n"
         "  " SETTINGS_PORT_ENTRY ": the same setting as the Firmware Update dialog's.\n";
#else
    t += "  the COM number, in $KEYSTRAND_UPDATE_SETTINGS when set, else in\n"
         "  $XDG_CONFIG_HOME/keystrand-update/settings, else in\n"
         "  ~/.config/keystrand-update/settings (a [" SETTINGS_SECTION
         "] section with " SETTINGS_PORT_ENTRY "=n).\n"
         "  The number names whatever tty holds it at the next run.\n\n";
    t += "Environment:\n";
    t += "  KEYSTRAND_UPDATE_SETTINGS  the settings file (see above)\n";
    t +=
        "  KEYSTRAND_UPDATE_DEV_DIR   the folder searched for ttyUSB* and ttyACM* (default /dev)\n";
#endif
    return t;
}

} // namespace console

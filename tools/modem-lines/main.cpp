// keystrand-modem-lines: runs a command with the library preloaded that gives the terminals of
// running simulated devices their modem lines.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "app/ProgramVersion.h"
#include "base/ProductNames.h"

namespace {

// Where the library lies below the folder above this program's (KEYSTRAND_LIBRARY_BELOW, from the
// build): the dynamic loader puts its own library folder in place of $LIB (lib/x86_64-linux-gnu,
// lib/i386-linux-gnu), so each program gets the library of its own kind, 64-bit or 32-bit.
const char kLibraryBelow[] = KEYSTRAND_LIBRARY_BELOW;

const char kHelp[] =
    "Usage: " MODEM_LINES_PROGRAM_NAME " COMMAND [ARGUMENT...]\n"
    "       " MODEM_LINES_PROGRAM_NAME " --version | --help\n"
    "\n"
    "Runs COMMAND so that the modem lines of the terminals that running simulated\n"
    "devices (" SIM_PROGRAM_NAME ") serve are the devices' own: a program that reads\n"
    "DSR, CTS and DCD of such a terminal gets them as the device holds them (on\n"
    "while its application firmware runs, off in its boot loader), and the DTR and\n"
    "RTS it sets reach the device, which logs them. The requests are those of the\n"
    "terminal interface (TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC), which Wine also\n"
    "uses for GetCommModemStatus, EscapeCommFunction and the DTR and RTS of\n"
    "SetCommState. Every other file, terminal and request goes to the system\n"
    "untouched: a terminal that no simulated device serves has no modem lines, as\n"
    "without this program.\n"
    "\n"
    "COMMAND may be a native program or Wine, 64-bit or 32-bit, and what it starts\n"
    "(not a statically linked program, which loads no library).\n"
    "It runs with a library preloaded (LD_PRELOAD):\n"
    "  DIR" KEYSTRAND_LIBRARY_BELOW "\n"
    "where DIR is the folder above this program's and $LIB the dynamic loader's\n"
    "library folder for the program's kind (lib/x86_64-linux-gnu or\n"
    "lib/i386-linux-gnu).\n"
    "\n"
    "Options:\n"
    "  --version  the program's version\n"
    "  --help     this text\n"
    "\n"
    "Exit status: COMMAND's; 126 when COMMAND cannot be run, 127 when it is not\n"
    "found, 1 when the library is missing, 2 on a usage error.\n"
    "\n"
    "Example: while \"" SIM_PROGRAM_NAME " --link /tmp/line --mode app\" runs,\n"
    "\"" MODEM_LINES_PROGRAM_NAME " " CONSOLE_PROGRAM_NAME " --identify --port /tmp/line\"\n"
    "prints the simulated device's serial.\n";

// The folder above the one this program lies in.
bool InstallRoot(std::string* root) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return false;
    }
    self[n] = '\0';
    std::string path(self);
    for (int up = 0; up < 2; ++up) {
        const std::string::size_type slash = path.rfind('/');
        if (slash == std::string::npos) {
            return false;
        }
        path.erase(slash);
    }
    *root = path.empty() ? "/" : path;
    return true;
}

int Fail(int code, const std::string& why) {
    std::fprintf(stderr, MODEM_LINES_PROGRAM_NAME ": %s\n", why.c_str());
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Fail(2, "a command to run is needed (see --help)");
    }
    const std::string first = argv[1];
    if (first == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (first == "--version") {
        std::puts(MODEM_LINES_PROGRAM_NAME " " PROGRAM_VERSION_TEXT);
        return 0;
    }
    if (first.size() > 1 && first[0] == '-') {
        return Fail(2, "unknown option " + first + " (see --help)");
    }
    std::string root;
    if (!InstallRoot(&root)) {
        return Fail(1, "cannot tell where this program lies (/proc/self/exe)");
    }
    // The loader splits LD_PRELOAD at blanks and colons.
    if (root.find_first_of(" :\t") != std::string::npos) {
        return Fail(1, "the folder " + root +
                           " has a blank or colon in its name, which LD_PRELOAD cannot carry");
    }
    const std::string library = root + kLibraryBelow;
    std::string ownKind = library;
    ownKind.replace(ownKind.find("$LIB"), 4, KEYSTRAND_OWN_LIB_DIR);
    if (::access(ownKind.c_str(), R_OK) != 0) {
        return Fail(1, "the library " + ownKind + " is missing: " + std::strerror(errno));
    }
    std::string preload = library;
    if (const char* earlier = std::getenv("LD_PRELOAD"); earlier != nullptr && *earlier != '\0') {
        preload += std::string(":") + earlier;
    }
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::execvp(argv[1], argv + 1);
    const int error = errno;
    return Fail(error == ENOENT ? 127 : 126, "cannot run " + first + ": " + std::strerror(error));
}

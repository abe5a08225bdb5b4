// The names of the trace files of several updates.
#include "console/run/TraceFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include "base/ProductNames.h"
#include "console/words/Text.h"

namespace console {

namespace {

// The port's last name part, with only letters, digits and "-_." kept.
std::string TraceBase(const std::string& port) {
    std::string base = port.substr(port.find_last_of("/\\") + 1);
    for (char& c : base) {
        const bool plain =
            std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
        c = plain ? c : '_';
    }
    return base;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

bool MakeTraceFolder(const std::string& path) {
#ifdef _WIN32
    const int made = ::_mkdir(path.c_str());
#else
    const int made = ::mkdir(path.c_str(), 0777);
#endif
    if (made == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        errno = ENOTDIR; // a file of that name: no trace can go into it
        return false;
    }
    return true;
}

std::string TraceFolderProblem(const std::string& path) {
    if (path.empty() || MakeTraceFolder(path)) {
        return std::string();
    }
    const int error = errno;
    return CONSOLE_PROGRAM_NAME ": cannot make the trace folder " + Quoted(path) + ": " +
           std::strerror(error);
}

std::vector<std::string> TraceNames(const std::string& folderPrefix,
                                    const std::vector<std::string>& ports) {
    std::vector<std::string> names;
    for (const std::string& port : ports) {
        const std::string base = TraceBase(port);
        std::string name = folderPrefix + "trace-" + base + ".log";
        for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n) {
            name = folderPrefix + "trace-" + base + "-" + std::to_string(n) + ".log";
        }
        names.push_back(name);
    }
    return names;
}

std::string DatedTraceName(const std::string& folderPrefix, const std::string& port,
                           std::time_t began) {
    char when[32] = "00000000-000000";
    if (const std::tm* utc = std::gmtime(&began)) {
        std::strftime(when, sizeof when, "%Y%m%d-%H%M%S", utc);
    }
    const std::string stem = folderPrefix + "trace-" + TraceBase(port) + "-" + when;
    std::string name = stem + ".log";
    // Bounded: a folder never holds this many traces of one port in one second.
    for (int n = 2; n < 10000 && Exists(name); ++n) {
        name = stem + "-" + std::to_string(n) + ".log";
    }
    return name;
}

} // namespace console

// The services keystrand-update takes from the machine it runs on, behind one interface per build.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/Options.h"
#include "fw/Clock.h"
#include "fw/Comm.h"
#include "fw/Profile.h"

namespace console {

// One serial port as the listing shows it.
struct PortListing {
    int number = 0;   // its COM number; 0 when it has none the program can use
    std::string path; // what is opened for it
    std::string note; // where it came from, or why it cannot be used; may be empty
};

class Platform {
public:
    virtual ~Platform() = default;

    // A serial line of its own for one update (one per port, so that updates share nothing).
    virtual std::unique_ptr<fw::Comm> makeComm() = 0;
    // The millisecond tick counter, with a sleep.
    virtual fw::Clock& clock() = 0;
    // The per-user settings.
    virtual fw::Profile& profile() = 0;

    // The folder of this program, ending in its separator; the default package folder.
    virtual std::string programDir() = 0;
    // The folder given on the command line, made ready to have a file name appended.
    virtual std::string folderPrefix(const std::string& folder) = 0;
    // Every port found, in COM-number order (those without a number last).
    virtual std::vector<PortListing> ports() = 0;
    // The COM number that --port names; 0 when it names none that is present.
    virtual int resolvePort(const std::string& text) = 0;
    // Where the remembered port is kept, for messages.
    virtual std::string settingsPlace() = 0;

    // Whether the stream is an interactive terminal, and its width in columns (0: unknown).
    virtual bool isTerminal(std::FILE* stream) = 0;
    virtual int terminalWidth(std::FILE* stream) = 0;

    // Why a file cannot be opened for reading, in a user's words: "no such file", "permission
    // denied", "a folder, not a file", "in use by another update".
    virtual std::string whyUnreadable(const std::string& path) = 0;
    // What the user can do about a port that did not open, e.g. the group to join, or the
    // program that holds it; empty when there is nothing to add.
    virtual std::string openAdvice(int port, const fw::SystemError& error) = 0;
    // The port's device as the system knows it (a link resolved), for the trace.
    virtual std::string devicePath(int port) = 0;
};

// The platform of this build, set up for the options (on the host, the COM numbers of the ttys
// found, the --map entries and a --port path). Null, with a reason, when it cannot be set up.
std::unique_ptr<Platform> MakePlatform(const Options& options, std::string* error);

} // namespace console

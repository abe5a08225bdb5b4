// The services keystrand-update takes from the machine it runs on, behind one interface per build.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/Options.h"
#include "fw/Clock.h"
#include "fw/Comm.h"
#include "fw/PortMap.h"
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

    // The real serial line, tick counter, serial-port map and per-user settings.
    virtual fw::Comm& comm() = 0;
    virtual fw::Clock& clock() = 0;
    virtual fw::PortMap& portMap() = 0;
    virtual fw::Profile& profile() = 0;

    // The folder of this program, ending in its separator; the default package folder.
    virtual std::string programDir() = 0;
    // The folder given on the command line, made ready to have a file name appended.
    virtual std::string folderPrefix(const std::string& folder) = 0;
    // Every port found, in COM-number order (those without a number last).
    virtual std::vector<PortListing> ports() = 0;
    // The COM number that --port names; 0, with a reason, when it names none.
    virtual int resolvePort(const std::string& text, std::string* reason) = 0;
    // Where the remembered port is kept, for messages.
    virtual std::string settingsPlace() = 0;
    // Whether the stream is an interactive terminal.
    virtual bool isTerminal(std::FILE* stream) = 0;
};

// The platform of this build, set up for the options (on the host, the COM numbers of the ttys
// found, the --map entries and a --port path). Null, with a reason, when it cannot be set up.
std::unique_ptr<Platform> MakePlatform(const Options& options, std::string* error);

} // namespace console

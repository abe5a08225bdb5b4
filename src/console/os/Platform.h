// The services keystrand-update takes from the machine it runs on, behind one interface per build:
// its serial ports, the clock, the remembered port, files and the terminal.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "console/os/Terminal.h"
#include "serial/Ports.h"

namespace console {

// Every call may come from any update's thread at any time.
class Platform {
public:
    virtual ~Platform() = default;

    // Every fact about the machine's serial ports, and a line to each.
    virtual serial::Ports& ports() = 0;
    // The millisecond tick counter, with a sleep.
    virtual base::Clock& clock() = 0;

    // The port of the last successful update; empty when none.
    virtual std::string rememberedPort() = 0;
    // False when it could not be stored.
    virtual bool rememberPort(const std::string& port) = 0;
    // Where the remembered port is kept, for messages.
    virtual std::string settingsPlace() = 0;

    // The folder of this program, ending in its separator; the default package folder.
    virtual std::string programDir() = 0;
    // The folder given on the command line, made ready to have a file name appended.
    virtual std::string folderPrefix(const std::string& folder) = 0;
    // Why a file cannot be opened for reading, in a user's words: "no such file", "permission
    // denied", "a folder, not a file".
    virtual std::string whyUnreadable(const std::string& path) = 0;

    // This machine's name, for the records.
    virtual std::string hostName() = 0;
    // Appends the text to the file (made when missing) in one write, flushed to the disk before
    // it returns, so that several programs may append to one file and none leaves half a line;
    // false, with the system's reason, when it cannot.
    virtual bool appendLine(const std::string& path, const std::string& text, std::string* why) = 0;

    // What the stream is: a terminal (with its width and whether it takes the cursor-up and
    // erase sequences, switched on where the system needs it) or a pipe or file. Asked once per
    // stream, when the program starts.
    virtual Stream stream(std::FILE* file) = 0;
};

// The platform of this build.
std::unique_ptr<Platform> MakePlatform();

} // namespace console

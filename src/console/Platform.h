// The services keystrand-update takes from the machine it runs on, behind one interface per build.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/SystemError.h"
#include "serial/Line.h"
#include "serial/PortInfo.h"

namespace console {

// Every call may come from any update's thread at any time.
class Platform {
public:
    virtual ~Platform() = default;

    // The line a port name opens (one per update, so that updates share nothing).
    virtual std::unique_ptr<serial::Line> makeLine(const std::string& port) = 0;
    // The millisecond tick counter, with a sleep.
    virtual base::Clock& clock() = 0;

    // The serial ports present, in the system's order.
    virtual std::vector<serial::PortInfo> ports() = 0;
    // The port as --port gives it, in the form the system opens ("3" -> "COM3" on Windows; a
    // path as it stands on Linux); false, with a reason, when it can never name a port.
    virtual bool portName(const std::string& text, std::string* name, std::string* error) = 0;
    // The device a port name leads to, so that two names of one port are seen to be one.
    virtual std::string portIdentity(const std::string& port) = 0;
    // Whether something answers to the name now (a port unplugged since it was remembered
    // does not).
    virtual bool portExists(const std::string& port) = 0;
    // What the system says of the device behind a port, for traces; empty when nothing.
    virtual std::string describePort(const std::string& port) = 0;
    // What the user can do about a port that did not open: the group to join, the program that
    // holds it; empty when there is nothing to add.
    virtual std::string openAdvice(const std::string& port, const base::SystemError& error) = 0;

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

    // Whether the stream is an interactive terminal, and its width in columns (0: unknown).
    virtual bool isTerminal(std::FILE* stream) = 0;
    virtual int terminalWidth(std::FILE* stream) = 0;
    // Whether the terminal takes the cursor-up and erase sequences (on Windows, once its
    // virtual-terminal processing is switched on).
    virtual bool enableCursorMovement(std::FILE* stream) = 0;
};

// The platform of this build.
std::unique_ptr<Platform> MakePlatform();

} // namespace console

// The shell on the host: launches are recorded and answered; file status asks the real file system.
#pragma once
#include <string>
#include <sys/stat.h>
#include <vector>

#include "fw/Shell.h"

namespace fw::host {

class RecordingShell : public Shell {
public:
    struct Launch {
        std::string verb;
        std::string file;
        int showCommand;
    };
    // What the next launches return; above 32 is success.
    intptr_t result = 42;

    intptr_t shellExecute(const char* verb, const char* file, int showCommand) override {
        m_launches.push_back(
            {verb != nullptr ? verb : "", file != nullptr ? file : "", showCommand});
        return result;
    }
    bool fileExists(const char* path) override {
        const std::string p = path != nullptr ? path : "";
        // As the framework's status query: too long a path, or one that names a folder by its
        // trailing separator, never exists.
        if (p.empty() || p.size() >= 260 || p.back() == '\\' || p.back() == '/') {
            return false;
        }
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0;
    }
    const std::vector<Launch>& launches() const { return m_launches; }

private:
    std::vector<Launch> m_launches;
};

} // namespace fw::host

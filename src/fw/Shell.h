// The shell seam: opening a document or web address with the program the system has for it.
#pragma once
#include <cstdint>

namespace fw {

class Shell {
public:
    virtual ~Shell() = default;
    // ShellExecuteA with no owner, no parameters and no directory; above 32 means success.
    virtual intptr_t shellExecute(const char* verb, const char* file, int showCommand) = 0;
    // Whether anything exists at the path (the framework's file-status query).
    virtual bool fileExists(const char* path) = 0;
};

} // namespace fw

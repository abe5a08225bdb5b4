// fw::win32::WinShell: the shell's document opener and the file-status query.
#pragma once
#include "fw/Shell.h"
#include "fw/WinTypes.h"

namespace fw::win32 {

class WinShell : public Shell {
public:
    intptr_t shellExecute(const char* verb, const char* file, int showCommand) override;
    // FindFirstFileA finds something at the path. A path of MAX_PATH (260) characters or more,
    // and one that ends in a backslash, never exist.
    bool fileExists(const char* path) override;
};

} // namespace fw::win32

// fw::win32::WinShell: ShellExecuteA and the file-status query by FindFirstFileA.
#include "fw/win32/WinShell.h"

#include <cstring>

namespace fw::win32 {

namespace {

// Whether the last character is a backslash, walking whole characters of the ANSI code page so
// that the second byte of a double-byte character is not taken for one.
bool EndsWithBackslash(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; *p != '\0';) {
        last = p;
        p += (::IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') ? 2 : 1;
    }
    return last != nullptr && *last == '\\';
}

} // namespace

intptr_t WinShell::shellExecute(const char* verb, const char* file, int showCommand) {
    return reinterpret_cast<intptr_t>(
        ::ShellExecuteA(nullptr, verb, file, nullptr, nullptr, showCommand));
}

bool WinShell::fileExists(const char* path) {
    if (path == nullptr || std::strlen(path) >= MAX_PATH || EndsWithBackslash(path)) {
        return false;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(search);
    return true;
}

} // namespace fw::win32

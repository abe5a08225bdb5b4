// Diagnosis of files and ttys that cannot be opened: stat, the groups of the user, /proc.
#include "console/posix/PosixDiagnosis.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/Text.h"

namespace console {

namespace {

std::string Resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

bool UserIsInGroup(gid_t group) {
    if (::getegid() == group) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == group) {
            return true;
        }
    }
    return false;
}

// The group's name, or its number where the group database has none. Reentrant: several
// updates' threads may ask at once.
std::string GroupName(gid_t gid) {
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->gr_name;
    }
    return std::to_string(gid);
}

std::string FirstWord(const std::string& text) {
    const std::string::size_type end = text.find_first_of(" \n\t");
    return text.substr(0, end);
}

// The name of a process, from /proc/<pid>/comm.
std::string ProcessName(long pid) {
    char name[64] = {};
    const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
    const int fd = ::open(comm.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        const ssize_t got = ::read(fd, name, sizeof name - 1);
        ::close(fd);
        name[got > 0 ? got : 0] = '\0';
    }
    // Any process may give itself any name: it is shown escaped.
    return Escaped(FirstWord(name)) + " (process " + std::to_string(pid) + ")";
}

// A process that has the device open, found among the descriptors in /proc.
long OpenerOf(const std::string& device) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    long found = 0;
    while (found == 0) {
        const dirent* p = ::readdir(proc);
        if (p == nullptr) {
            break;
        }
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == ::getpid()) {
            continue;
        }
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (fds == nullptr) {
            continue;
        }
        while (const dirent* f = ::readdir(fds)) {
            char target[PATH_MAX];
            const std::string link = fdDir + "/" + f->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == device) {
                found = pid;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

} // namespace

std::string WhyFileUnreadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return "a folder, not a file";
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == EACCES || errno == EPERM ? "permission denied" : std::strerror(errno);
    }
    std::string why = "it cannot be opened";
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        why = "in use by another update";
    }
    ::close(fd);
    return why;
}

std::string HolderOf(const std::string& path) {
    // Whoever locks the line has it open: the descriptors in /proc name both.
    const long pid = OpenerOf(Resolved(path));
    return pid != 0 ? ProcessName(pid) : std::string();
}

std::string TtyOpenAdvice(const std::string& path, const fw::SystemError& error) {
    using Cause = fw::SystemError::Cause;
    switch (error.cause) {
    case Cause::kAccessDenied: {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            return std::string();
        }
        const std::string name = GroupName(st.st_gid);
        if (UserIsInGroup(st.st_gid)) {
            return path + " belongs to the group " + name +
                   ", which you are in; if you joined it lately, log out and in again.";
        }
        return path + " belongs to the group " + name + ": join it (sudo usermod -aG " + name +
               " \"$USER\"), then log out and in again.";
    }
    case Cause::kBusy: {
        const std::string holder = HolderOf(path);
        return holder.empty() ? "Close the other program that uses " + path + "."
                              : path + " is held by " + holder + ": close it first.";
    }
    case Cause::kNoSuchPort:
        return "See --list-ports for the ports present; a USB adapter may have been unplugged.";
    case Cause::kNotASerialPort:
        return Quoted(path) + " is not a serial device.";
    case Cause::kUnknown:
        break;
    }
    return std::string();
}

} // namespace console

// The descriptors of every process in /proc, looked through for one device.
#include "serial/posix/TtyHolders.h"

#include <climits>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "serial/posix/TtyPorts.h"

namespace serial::posix {

namespace {

// The name a process gave itself, from /proc/<pid>/comm, without its line end.
std::string ProcessName(long pid) {
    char name[64] = {};
    const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
    const int fd = ::open(comm.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        const ssize_t got = ::read(fd, name, sizeof name - 1);
        ::close(fd);
        name[got > 0 ? got : 0] = '\0';
    }
    std::string text = name;
    return text.substr(0, text.find('\n'));
}

// Whether one of the process's descriptors leads to the device.
bool HasOpen(const std::string& fdDir, const std::string& device) {
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* f = !found ? ::readdir(fds) : nullptr) {
        char target[PATH_MAX];
        const std::string link = fdDir + "/" + f->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        found = n > 0 && std::string(target, static_cast<std::size_t>(n)) == device;
    }
    ::closedir(fds);
    return found;
}

} // namespace

std::string OtherHolderOf(const std::string& path) {
    const std::string device = ResolvedPath(path);
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return std::string();
    }
    long holder = 0;
    while (const dirent* p = holder == 0 ? ::readdir(proc) : nullptr) {
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (*end == '\0' && pid > 0 && pid != ::getpid() &&
            HasOpen(std::string("/proc/") + p->d_name + "/fd", device)) {
            holder = pid;
        }
    }
    ::closedir(proc);
    return holder != 0 ? ProcessName(holder) + " (process " + std::to_string(holder) + ")"
                       : std::string();
}

} // namespace serial::posix

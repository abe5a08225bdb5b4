// Finding the host's serial ttys and giving them COM numbers.
#include "console/posix/TtyPorts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <dirent.h>

#include "ui/PortRange.h"

namespace console {

namespace {

// The number after the prefix in a tty name such as ttyUSB12, or -1 when the rest is not a
// decimal number.
long NumberAfter(const std::string& name, const std::string& prefix) {
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size() ||
        name.size() > prefix.size() + 6) {
        return -1;
    }
    long n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return -1;
        }
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

std::string Resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

bool SameDevice(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    const std::string ra = Resolved(a);
    return !ra.empty() && ra == Resolved(b);
}

int LowestFree(const serial::posix::ComPortTable& table) {
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        if (table.pathFor(n).empty()) {
            return n;
        }
    }
    return 0;
}

} // namespace

std::vector<std::string> FindSerialTtys(const std::string& devDir) {
    std::vector<std::pair<long, std::string>> usb;
    std::vector<std::pair<long, std::string>> acm;
    DIR* dir = ::opendir(devDir.c_str());
    if (dir == nullptr) {
        return {};
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        long n = NumberAfter(name, "ttyUSB");
        if (n >= 0) {
            usb.emplace_back(n, name);
            continue;
        }
        n = NumberAfter(name, "ttyACM");
        if (n >= 0) {
            acm.emplace_back(n, name);
        }
    }
    ::closedir(dir);
    std::sort(usb.begin(), usb.end());
    std::sort(acm.begin(), acm.end());
    const std::string prefix = devDir.empty() || devDir.back() == '/' ? devDir : devDir + "/";
    std::vector<std::string> paths;
    for (const auto& e : usb) {
        paths.push_back(prefix + e.second);
    }
    for (const auto& e : acm) {
        paths.push_back(prefix + e.second);
    }
    return paths;
}

namespace {

// The number of the --port path: that of the entry with the same path, else with the same
// device, else the lowest free one (0: none is free).
int NumberPortPath(const std::string& portPath, HostPorts* ports) {
    for (const auto& entry : ports->table.entries()) {
        if (entry.second == portPath) {
            return entry.first;
        }
    }
    for (const auto& entry : ports->table.entries()) {
        if (SameDevice(entry.second, portPath)) {
            return entry.first;
        }
    }
    const int n = LowestFree(ports->table);
    if (n != 0) {
        ports->table.set(n, portPath);
        ports->origins.emplace_back(n, "--port");
    }
    return n;
}

} // namespace

int HostPorts::numberOfPortPath(const std::string& path) const {
    for (const auto& p : portPathNumbers) {
        if (p.first == path) {
            return p.second;
        }
    }
    return 0;
}

bool NumberPorts(const std::vector<std::pair<int, std::string>>& maps,
                 const std::vector<std::string>& found, const std::vector<std::string>& portPaths,
                 HostPorts* ports, std::string* error) {
    for (const auto& m : maps) {
        ports->table.set(m.first, m.second);
        ports->origins.emplace_back(m.first, "--map");
    }
    for (const std::string& path : found) {
        bool mapped = false;
        for (const auto& entry : ports->table.entries()) {
            mapped = mapped || SameDevice(entry.second, path);
        }
        if (mapped) {
            continue;
        }
        const int n = LowestFree(ports->table);
        if (n == 0) {
            ports->unnumbered.push_back(path);
            continue;
        }
        ports->table.set(n, path);
        ports->origins.emplace_back(n, "found");
    }
    for (const std::string& portPath : portPaths) {
        const int n = NumberPortPath(portPath, ports);
        if (n == 0) {
            *error = "no COM number is free for " + portPath + ": COM1 to COM12 are all taken";
            return false;
        }
        ports->portPathNumbers.emplace_back(portPath, n);
    }
    return true;
}

} // namespace console

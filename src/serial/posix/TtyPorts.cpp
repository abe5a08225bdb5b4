// Listing the USB serial ttys of a Linux machine, and what sysfs says of each.
#include "serial/posix/TtyPorts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "serial/UsbInstanceId.h"

namespace serial::posix {

namespace {

// The tty families that USB serial adapters and devices appear as, in listing order.
const char* const kFamilies[] = {"ttyUSB", "ttyACM"};

std::vector<std::string> FolderEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(d);
    }
    return names;
}

// The number after a family's name: "ttyUSB12" -> 12; -1 for any other name.
long TtyNumber(const std::string& name, const std::string& family) {
    if (name.compare(0, family.size(), family) != 0 || name.size() == family.size() ||
        name.size() > family.size() + 6) {
        return -1;
    }
    long n = 0;
    for (std::size_t i = family.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return -1;
        }
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The first line of a small sysfs file; empty when it is missing. Only a regular file is read,
// and only its first bytes, so that a made-up sysfs with a pipe or a huge file in it cannot hold
// the listing up.
std::string FirstLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::string();
    }
    struct stat st {};
    char buffer[256];
    ssize_t n = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        n = ::read(fd, buffer, sizeof buffer);
    }
    ::close(fd);
    std::string line(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
    line = line.substr(0, line.find('\n'));
    return line.size() > 200 ? line.substr(0, 200) : line;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// What the USB device above a tty tells of itself: maker and product, the vendor and product
// ids, the serial number, into the port's description and ids.
void AddUsbFacts(const std::string& ttyName, const std::string& sysDir, PortInfo* port) {
    std::string dir = ResolvedPath(sysDir + "/class/tty/" + ttyName + "/device");
    // The interface, or the port of a USB serial driver, lies a level or two below the device.
    for (int up = 0; up < 4 && dir.size() > 1; ++up) {
        const std::string vendor = FirstLine(dir + "/idVendor");
        if (!vendor.empty()) {
            const std::string product = FirstLine(dir + "/idProduct");
            std::string text = FirstLine(dir + "/manufacturer");
            const std::string name = FirstLine(dir + "/product");
            if (!name.empty()) {
                text += (text.empty() ? "" : " ") + name;
            }
            text += (text.empty() ? "(" : " (") + vendor + ":" + product + ")";
            port->serialNumber = FirstLine(dir + "/serial");
            if (!port->serialNumber.empty()) {
                text += ", serial " + port->serialNumber;
            }
            port->description = text;
            port->vendorId = UsbIdFromHex(vendor);
            port->productId = UsbIdFromHex(product);
            return;
        }
        dir = dir.substr(0, dir.find_last_of('/'));
    }
}

// A port as listed: its name, the USB device's facts and the plug it is.
PortInfo Listed(const std::string& name, const std::string& ttyName, const std::string& sysDir) {
    PortInfo p;
    p.name = name;
    AddUsbFacts(ttyName, sysDir, &p);
    p.instance = PlugInstance(name);
    return p;
}

} // namespace

std::string ResolvedPath(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

std::vector<PortInfo> ListTtys(const std::string& devDir, const std::string& sysDir) {
    std::vector<PortInfo> ports;
    const std::vector<std::string> entries = FolderEntries(devDir);
    for (const std::string family : kFamilies) {
        std::vector<std::pair<long, std::string>> numbered;
        for (const std::string& name : entries) {
            const long n = TtyNumber(name, family);
            if (n >= 0) {
                numbered.emplace_back(n, name);
            }
        }
        std::sort(numbered.begin(), numbered.end());
        for (const auto& tty : numbered) {
            ports.push_back(Listed(devDir + "/" + tty.second, tty.second, sysDir));
        }
    }

    const std::string byId = devDir + "/serial/by-id";
    std::vector<std::string> links = FolderEntries(byId);
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        const std::string path = byId + "/" + link;
        const std::string target = ResolvedPath(path);
        auto same = std::find_if(ports.begin(), ports.end(),
                                 [&](const PortInfo& p) { return ResolvedPath(p.name) == target; });
        if (same == ports.end()) {
            ports.push_back(Listed(target, BaseName(target), sysDir));
            same = ports.end() - 1;
        }
        if (same->alias.empty()) {
            same->alias = path;
        }
    }
    return ports;
}

std::string DescribeTty(const std::string& path, const std::string& sysDir) {
    const std::string target = ResolvedPath(path);
    std::string text = target != path ? target : std::string();
    PortInfo usb;
    AddUsbFacts(BaseName(target), sysDir, &usb);
    if (!usb.description.empty()) {
        text += (text.empty() ? "" : ", ") + usb.description;
    }
    return text;
}

std::string PlugInstance(const std::string& path) {
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0) {
        return std::string();
    }
    std::string text = std::to_string(own.st_dev) + ":" + std::to_string(own.st_ino);
    if (S_ISLNK(own.st_mode)) {
        // A link is never changed, only made anew: its time tells a new one even where the file
        // system gives the old number again. What it leads to may be made anew too.
        text +=
            "@" + std::to_string(own.st_mtim.tv_sec) + "." + std::to_string(own.st_mtim.tv_nsec);
        struct stat target {};
        if (::stat(path.c_str(), &target) == 0) {
            text += ">" + std::to_string(target.st_dev) + ":" + std::to_string(target.st_ino) +
                    ":" + std::to_string(target.st_rdev);
        }
    }
    return text;
}

} // namespace serial::posix

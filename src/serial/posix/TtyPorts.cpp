// Listing the USB serial ttys of a Linux machine, and what sysfs says of each.
#include "serial/posix/TtyPorts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>

#include <dirent.h>

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

// The first line of a small sysfs file; empty when it is missing.
std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (in) {
        std::getline(in, line);
    }
    return line.size() > 200 ? line.substr(0, 200) : line;
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// Maker and product, the vendor and product ids, the serial number: whatever the USB device
// above the tty tells.
std::string UsbDescription(const std::string& ttyName, const std::string& sysDir) {
    std::string dir = ResolvedPath(sysDir + "/class/tty/" + ttyName + "/device");
    // The interface, or the port of a USB serial driver, lies a level or two below the device.
    for (int up = 0; up < 4 && dir.size() > 1; ++up) {
        const std::string vendor = FirstLine(dir + "/idVendor");
        if (!vendor.empty()) {
            std::string text = FirstLine(dir + "/manufacturer");
            const std::string product = FirstLine(dir + "/product");
            if (!product.empty()) {
                text += (text.empty() ? "" : " ") + product;
            }
            text +=
                (text.empty() ? "(" : " (") + vendor + ":" + FirstLine(dir + "/idProduct") + ")";
            const std::string serialNumber = FirstLine(dir + "/serial");
            if (!serialNumber.empty()) {
                text += ", serial " + serialNumber;
            }
            return text;
        }
        dir = dir.substr(0, dir.find_last_of('/'));
    }
    return std::string();
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
            PortInfo p;
            p.name = devDir + "/" + tty.second;
            p.description = UsbDescription(tty.second, sysDir);
            ports.push_back(p);
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
            PortInfo p;
            p.name = target;
            p.description = UsbDescription(BaseName(target), sysDir);
            ports.push_back(p);
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
    const std::string usb = UsbDescription(BaseName(target), sysDir);
    if (!usb.empty()) {
        text += (text.empty() ? "" : ", ") + usb;
    }
    return text;
}

} // namespace serial::posix

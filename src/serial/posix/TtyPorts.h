// The serial ports of a Linux machine: the USB serial ttys under /dev, their stable names under
// /dev/serial/by-id, and what sysfs says of the USB device behind each.
#pragma once
#include <string>
#include <vector>

#include "serial/PortInfo.h"

namespace serial::posix {

// devDir/ttyUSB<n>, then devDir/ttyACM<n>, each in number order, with the devDir/serial/by-id
// link that leads to the same device as alias, and the USB device's maker, product, ids and
// serial number from sysDir/class/tty/<name> as description (and the ids and serial number
// apart, for filters), and the plug's instance. A by-id link whose device is not
// among them is listed by the device it leads to. Unreadable folders give nothing.
std::vector<PortInfo> ListTtys(const std::string& devDir, const std::string& sysDir);

// What the system says of the device behind a tty path: the file it leads to when it is a link,
// and the USB device's description; empty when there is nothing to add to the path.
std::string DescribeTty(const std::string& path, const std::string& sysDir);

// What tells one plug of a device under the path from the next: the inode numbers of the file
// (a device node of devtmpfs is made anew for each plug) and, for a link, its making time and
// what it leads to. Not the node's times, which change as it is used and as udev sets its mode.
// Empty when nothing is there.
std::string PlugInstance(const std::string& path);

// The file a path finally leads to; the path itself when it cannot be resolved.
std::string ResolvedPath(const std::string& path);

} // namespace serial::posix

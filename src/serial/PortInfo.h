// One serial port of the machine as a user picks it: the name that opens it and what the system
// says of the device behind it.
#pragma once
#include <string>

namespace serial {

struct PortInfo {
    std::string name;        // what opens it: "/dev/ttyUSB0", "COM17"
    std::string alias;       // another name that leads to it (Linux: its /dev/serial/by-id
                             // link); empty when none
    std::string description; // what the system says of the device: "FTDI FT232R USB UART
                             // (0403:6001), serial A7XK3", "\Device\VCP0"; empty when nothing
    // The USB device behind the port, where the system tells: its vendor and product ids as
    // four lower-case hex digits ("0403", "6001") and its serial number; empty when not known.
    std::string vendorId;
    std::string productId;
    std::string serialNumber;
    // What tells this plug of the device from the next one under the same name: it changes
    // when the port goes and comes back between two listings (Linux: the files' inode numbers).
    // Empty where the system cannot tell.
    std::string instance;
};

} // namespace serial

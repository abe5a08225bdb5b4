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
};

} // namespace serial

// serial::win32::ComPortSet: the serial ports of a Windows machine, COMn as Windows names them.
#pragma once
#include "serial/Ports.h"

namespace serial::win32 {

// The COM ports of the serial-port map; "COM3", "3" and "\\.\COM3" all name COM3.
class ComPortSet : public Ports {
public:
    // With what the device manager tells of each port's USB device.
    std::vector<PortInfo> list() override;
    bool canonicalName(const std::string& text, std::string* name, std::string* error) override;
    std::string identity(const std::string& name) override;
    // Named by the serial-port map now.
    bool present(const std::string& name) override;
    // The device name the map gives it ("\Device\VCP0").
    std::string describe(const std::string& name) override;
    std::unique_ptr<Line> line(const std::string& name) override;
    std::string openAdvice(const std::string& name, const base::SystemError& error) override;
    // The serial-port map's change notification.
    std::unique_ptr<PortWatch> watch(base::Clock& clock) override;
};

} // namespace serial::win32

// serial::posix::TtyPortSet: the serial ports of a Linux machine, ttys known by their paths.
#pragma once
#include <string>

#include "serial/Ports.h"

namespace serial::posix {

// The USB serial ttys under devDir with what sysDir says of them; any path names a port.
class TtyPortSet : public Ports {
public:
    TtyPortSet(std::string devDir, std::string sysDir)
        : m_devDir(std::move(devDir)), m_sysDir(std::move(sysDir)) {}

    std::vector<PortInfo> list() override;
    // A path, as it stands; "ttyUSB0" or "COM3" are refused with a hint.
    bool canonicalName(const std::string& text, std::string* name, std::string* error) override;
    // The file the path finally leads to.
    std::string identity(const std::string& name) override;
    bool present(const std::string& name) override;
    std::string describe(const std::string& name) override;
    std::unique_ptr<Line> line(const std::string& name) override;
    std::string openAdvice(const std::string& name, const base::SystemError& error) override;
    // inotify on the folder of the ttys and their stable names.
    std::unique_ptr<PortWatch> watch(base::Clock& clock) override;

private:
    std::string m_devDir;
    std::string m_sysDir;
};

} // namespace serial::posix

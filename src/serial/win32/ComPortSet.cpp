// The COM ports of a Windows machine: the serial-port map, COM names and the Windows line.
#include "serial/win32/ComPortSet.h"

#include <algorithm>

#include "fw/win32/WinPortMap.h"
#include "serial/ComName.h"
#include "serial/win32/ComPortWatch.h"
#include "serial/win32/WinLine.h"
#include "serial/win32/WinPorts.h"
#include "serial/win32/WinUsbPorts.h"

namespace serial::win32 {

std::vector<PortInfo> ComPortSet::list() {
    fw::win32::WinPortMap map;
    std::vector<PortInfo> ports = ListComPorts(map);
    AddUsbFacts(&ports);
    return ports;
}

bool ComPortSet::canonicalName(const std::string& text, std::string* name, std::string* error) {
    const int n = ComNumberFromText(text);
    if (n == 0) {
        *error = "--port takes COMn, n or \\\\.\\COMn (n from 1 to " +
                 std::to_string(kLastComNumber) + "), not \"" + text + "\"";
        return false;
    }
    *name = ComName(n);
    return true;
}

std::string ComPortSet::identity(const std::string& name) {
    return ComName(ComNumberFromText(name));
}

bool ComPortSet::present(const std::string& name) {
    const std::vector<PortInfo> ports = list();
    return std::any_of(ports.begin(), ports.end(),
                       [&](const PortInfo& p) { return p.name == name; });
}

std::string ComPortSet::describe(const std::string& name) {
    for (const PortInfo& p : list()) {
        if (p.name == name) {
            return p.description;
        }
    }
    return std::string();
}

std::unique_ptr<Line> ComPortSet::line(const std::string& name) {
    return std::make_unique<WinLine>(name);
}

std::string ComPortSet::openAdvice(const std::string& name, const base::SystemError& error) {
    switch (error.cause) {
    case base::SystemError::Cause::kBusy:
        return CloseHolderAdvice(name);
    case base::SystemError::Cause::kNoSuchPort:
        return kMissingPortAdvice;
    default:
        return std::string();
    }
}

std::unique_ptr<PortWatch> ComPortSet::watch(base::Clock& clock) {
    return WatchComPorts(clock);
}

} // namespace serial::win32

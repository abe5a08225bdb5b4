// The serial ports of a Windows machine, as its serial-port map names them.
#pragma once
#include <vector>

#include "fw/PortMap.h"
#include "serial/PortInfo.h"

namespace serial::win32 {

// Every COMn the map names, in number order, described by its device name ("\Device\VCP0").
// Names of another form are left out.
std::vector<PortInfo> ListComPorts(fw::PortMap& map);

} // namespace serial::win32

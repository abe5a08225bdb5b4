// What Windows' device manager tells of the USB device behind each COM port.
#pragma once
#include <vector>

#include "serial/PortInfo.h"

namespace serial::win32 {

// For each port of the list that a present device of the Ports class names (its "PortName"),
// the USB vendor and product ids and serial number from its instance id (or its parent's, for
// one interface of a composite device), added to its ids and its description. Ports the device
// manager does not know are left as they are.
void AddUsbFacts(std::vector<PortInfo>* ports);

} // namespace serial::win32

// serial::win32::WatchComPorts: the COM ports coming and going, as Windows' serial-port map
// changes.
#pragma once
#include <memory>

#include "base/Clock.h"
#include "serial/PortWatch.h"

namespace serial::win32 {

// Waits on the map's change notification (RegNotifyChangeKeyValue on
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, re-armed before the caller lists the ports again). Where
// the map cannot be watched (a machine that has had no COM port yet has no map) it is looked at
// every kPollMs and watched as soon as it can be.
std::unique_ptr<PortWatch> WatchComPorts(base::Clock& clock);

// How often the map is looked at where it cannot be watched: a few times a second at most.
constexpr std::uint32_t kPollMs = 250;

} // namespace serial::win32

// serial::posix::TtyWatch: the ttys coming and going under a /dev, as inotify tells of them.
#pragma once
#include <memory>
#include <string>

#include "base/Clock.h"
#include "serial/PortWatch.h"

namespace serial::posix {

// Watches devDir (where ttyUSB* and ttyACM* appear and disappear), devDir/serial and
// devDir/serial/by-id (the stable names, made and taken away with them) through one inotify
// descriptor: a wait sleeps in poll(2) until one of them changes. Where inotify cannot be had
// (no such folder, the system's limit of watches reached) the ports are looked at every
// kPollMs instead, and fallback() says why.
std::unique_ptr<PortWatch> WatchTtys(const std::string& devDir, base::Clock& clock);

// How often the ports are looked at where inotify cannot be had.
constexpr std::uint32_t kPollMs = 500;

} // namespace serial::posix

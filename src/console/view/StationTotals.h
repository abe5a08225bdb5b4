// The station's totals since it began, for the line under the ports on a terminal.
#pragma once
#include <cstdint>
#include <string>

namespace console {

// "Since 16:40: 12 updated, 1 failed, 37 devices per hour. Ctrl-C ends the station." The rate
// counts every update, once the station has run a minute (before, it would say little).
std::string StationTotals(const std::string& since, int updated, int failed,
                          std::uint32_t elapsedMs);

} // namespace console

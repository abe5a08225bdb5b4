// The station's totals line.
#include "console/view/StationTotals.h"

namespace console {

std::string StationTotals(const std::string& since, int updated, int failed,
                          std::uint32_t elapsedMs) {
    std::string text = "Since " + since + ": " + std::to_string(updated) + " updated, " +
                       std::to_string(failed) + " failed";
    if (elapsedMs >= 60000) {
        const unsigned long long perHour =
            (static_cast<unsigned long long>(updated + failed) * 3600000ull + elapsedMs / 2) /
            elapsedMs;
        text += ", " + std::to_string(perHour) + " devices per hour";
    }
    return text + ". Ctrl-C ends the station.";
}

} // namespace console

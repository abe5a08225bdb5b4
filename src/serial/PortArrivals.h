// serial::PortArrivals: the ports that pass the user's filters, watched as they come, settle and
// go: the system's notice of a change, the listing it asks for, the plugs told apart.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "serial/PortFilter.h"
#include "serial/PortPlugs.h"
#include "serial/PortWatch.h"
#include "serial/Ports.h"

namespace serial {

class PortArrivals {
public:
    PortArrivals(Ports& ports, std::vector<PortFilter> filters, base::Clock& clock,
                 std::uint32_t settleMs);

    // Begins to watch, then lists: every port that passes a filter now is plugged and settled
    // at once.
    std::vector<PortPlugs::Event> start();
    // Waits at most limitMs (less when a port settles sooner; a signal may end it early) for
    // ports to come, go or settle, and tells what did; often nothing.
    std::vector<PortPlugs::Event> next(std::uint32_t limitMs);

    // Empty while the system tells of every change; else why the ports are looked at every so
    // often instead.
    std::string fallback() const;

private:
    std::vector<PortInfo> listed();

    Ports& m_ports;
    std::vector<PortFilter> m_filters;
    base::Clock& m_clock;
    PortPlugs m_plugs;
    std::unique_ptr<PortWatch> m_watch;
    std::vector<PortInfo> m_last;
};

} // namespace serial

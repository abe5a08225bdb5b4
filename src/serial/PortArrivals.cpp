// The ports as they come, settle and go.
#include "serial/PortArrivals.h"

#include <algorithm>

namespace serial {

PortArrivals::PortArrivals(Ports& ports, std::vector<PortFilter> filters, base::Clock& clock,
                           std::uint32_t settleMs)
    : m_ports(ports), m_filters(std::move(filters)), m_clock(clock), m_plugs(settleMs) {}

std::vector<PortInfo> PortArrivals::listed() {
    return Filtered(m_filters, m_ports.list());
}

std::vector<PortPlugs::Event> PortArrivals::start() {
    // The watch first: a port that comes between the listing and the watch is not missed.
    m_watch = m_ports.watch(m_clock);
    m_last = listed();
    return m_plugs.update(m_last, m_clock.getTickCount());
}

std::vector<PortPlugs::Event> PortArrivals::next(std::uint32_t limitMs) {
    std::uint32_t settle = 0;
    if (m_plugs.untilNextSettle(m_clock.getTickCount(), &settle)) {
        limitMs = std::min(limitMs, settle);
    }
    if (m_watch->wait(limitMs)) {
        m_last = listed();
    }
    return m_plugs.update(m_last, m_clock.getTickCount());
}

std::string PortArrivals::fallback() const {
    return m_watch ? m_watch->fallback() : std::string();
}

} // namespace serial

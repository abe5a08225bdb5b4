// The plugs of the ports, from one listing to the next.
#include "serial/PortPlugs.h"

#include <algorithm>

namespace serial {

namespace {

bool SamePlug(const PortInfo& before, const PortInfo& now) {
    return before.instance == now.instance;
}

} // namespace

std::vector<PortPlugs::Event> PortPlugs::update(const std::vector<PortInfo>& listed,
                                                std::uint32_t now) {
    std::vector<Event> events;
    const auto event = [&events](Event::Kind kind, const Known& k) {
        Event e;
        e.kind = kind;
        e.port = k.port;
        e.plug = k.plug;
        events.push_back(e);
    };
    std::vector<Known> next;
    // Gone, or there under another plug: the old plug is over.
    for (const Known& k : m_known) {
        const auto still = std::find_if(listed.begin(), listed.end(), [&](const PortInfo& p) {
            return p.name == k.port.name && SamePlug(k.port, p);
        });
        if (still == listed.end()) {
            event(Event::Kind::kUnplugged, k);
        }
    }
    for (const PortInfo& p : listed) {
        if (std::any_of(next.begin(), next.end(),
                        [&](const Known& k) { return k.port.name == p.name; })) {
            continue; // a name listed twice is one port
        }
        const auto known = std::find_if(m_known.begin(), m_known.end(), [&](const Known& k) {
            return k.port.name == p.name && SamePlug(k.port, p);
        });
        Known k;
        if (known != m_known.end()) {
            k = *known;
            k.port = p; // what the system says of it may have grown (a by-id name, its mode)
        } else {
            k.port = p;
            k.plug = ++m_lastPlug;
            k.since = now;
            event(Event::Kind::kPlugged, k);
        }
        if (!k.settled && (m_first || now - k.since >= m_settleMs)) {
            k.settled = true;
            event(Event::Kind::kSettled, k);
        }
        next.push_back(k);
    }
    m_known.swap(next);
    m_first = false;
    return events;
}

bool PortPlugs::untilNextSettle(std::uint32_t now, std::uint32_t* ms) const {
    bool any = false;
    for (const Known& k : m_known) {
        if (k.settled) {
            continue;
        }
        const std::uint32_t waited = now - k.since;
        const std::uint32_t left = waited >= m_settleMs ? 0 : m_settleMs - waited;
        *ms = any ? std::min(*ms, left) : left;
        any = true;
    }
    return any;
}

} // namespace serial

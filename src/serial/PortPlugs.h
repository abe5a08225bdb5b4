// serial::PortPlugs: the ports' comings and goings told one plug at a time: a port that appeared
// (or was plugged anew under the same name), one that has stayed long enough to be used (USB
// adapters need a moment after they appear), one that went away.
#pragma once
#include <cstdint>
#include <vector>

#include "serial/PortInfo.h"

namespace serial {

class PortPlugs {
public:
    struct Event {
        enum class Kind { kPlugged, kSettled, kUnplugged };
        Kind kind = Kind::kPlugged;
        PortInfo port;          // as last listed
        unsigned long plug = 0; // one number per plug, from 1, never given twice
    };

    explicit PortPlugs(std::uint32_t settleMs) : m_settleMs(settleMs) {}

    // The ports listed at now. The first listing's ports were there before anyone looked: they
    // are plugged and settled at once. Later, a port that appears is plugged and settles once
    // it has stayed settleMs; one listed with another instance than before was unplugged and
    // plugged anew; one not listed any more is unplugged. Events in that order per port, and
    // the ports in the listing's order (the unplugged first).
    std::vector<Event> update(const std::vector<PortInfo>& listed, std::uint32_t now);

    // How long from now until the next port settles; false when none is waiting to.
    bool untilNextSettle(std::uint32_t now, std::uint32_t* ms) const;

private:
    struct Known {
        PortInfo port;
        unsigned long plug = 0;
        std::uint32_t since = 0;
        bool settled = false;
    };

    std::uint32_t m_settleMs;
    bool m_first = true;
    unsigned long m_lastPlug = 0;
    std::vector<Known> m_known;
};

} // namespace serial

// The station's plan, plug by plug.
#include "console/run/StationPlan.h"

#include <algorithm>

namespace console {

StationPlan::Port& StationPlan::port(const std::string& name) {
    for (Port& p : m_ports) {
        if (p.name == name) {
            return p;
        }
    }
    m_ports.push_back(Port());
    m_ports.back().name = name;
    return m_ports.back();
}

void StationPlan::plugged(const std::string& name, unsigned long plug) {
    Port& p = port(name);
    p.plug = plug;
    p.settled = false;
    p.handedOut = false;
}

void StationPlan::settled(const std::string& name, unsigned long plug) {
    Port& p = port(name);
    if (p.plug == plug) {
        p.settled = true;
    }
}

void StationPlan::unplugged(const std::string& name, unsigned long plug) {
    Port& p = port(name);
    if (p.plug == plug) {
        p.plug = 0;
        p.settled = false;
        p.handedOut = false;
    }
}

void StationPlan::finished(const std::string& name) {
    port(name).running = false;
}

std::vector<std::string> StationPlan::due() {
    std::vector<std::string> names;
    for (Port& p : m_ports) {
        if (p.plug != 0 && p.settled && !p.handedOut && !p.running) {
            p.handedOut = true;
            p.running = true;
            names.push_back(p.name);
        }
    }
    return names;
}

StationPlan::Look StationPlan::look(const std::string& name) const {
    for (const Port& p : m_ports) {
        if (p.name == name) {
            if (p.running) {
                return Look::kUpdating;
            }
            if (p.plug == 0) {
                return Look::kHidden;
            }
            return p.handedOut ? Look::kDone : Look::kWaiting;
        }
    }
    return Look::kHidden;
}

bool StationPlan::updating() const {
    return std::any_of(m_ports.begin(), m_ports.end(), [](const Port& p) { return p.running; });
}

} // namespace console

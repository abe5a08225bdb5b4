// console::StationPlan: what the station does with each port as its plugs come and go: one
// update per plug, once the plug has settled; a device left alone after its update, whatever
// the outcome, until it is unplugged; a plug that comes while the last one's update still runs
// waits for that update to end.
#pragma once
#include <string>
#include <vector>

namespace console {

class StationPlan {
public:
    // How a port's line looks.
    enum class Look { kHidden, kWaiting, kUpdating, kDone };

    // The port's plugs, as the ports' watch tells them.
    void plugged(const std::string& port, unsigned long plug);
    void settled(const std::string& port, unsigned long plug);
    void unplugged(const std::string& port, unsigned long plug);
    // The port's update is over.
    void finished(const std::string& port);

    // The ports whose update is due now: each plug is handed out once, and its port is
    // updating from then on until finished.
    std::vector<std::string> due();

    Look look(const std::string& port) const;
    // Whether any port's update runs.
    bool updating() const;

private:
    struct Port {
        std::string name;
        unsigned long plug = 0; // the plug there now; 0: none
        bool settled = false;   // the plug there now has settled
        bool handedOut = false; // the plug there now has had its update
        bool running = false;   // an update runs (of this plug or an earlier one)
    };
    Port& port(const std::string& name);

    std::vector<Port> m_ports; // one per name ever plugged: the machine's ports
};

} // namespace console

// The device's end of the modem-line requests: the socket a program's preloaded library asks.
#pragma once
#include <functional>
#include <string>

#include "sim/ModemLinesWire.h"

namespace keystrand_sim {

// Listens under the name of one pseudo-terminal's slave end (sim/ModemLinesWire.h). Only the
// user who runs the device (or root) is answered.
class ModemLinesServer {
public:
    using Answer = std::function<sim::wire::Reply(const sim::wire::Request&)>;

    ModemLinesServer() = default;
    ~ModemLinesServer();
    ModemLinesServer(const ModemLinesServer&) = delete;
    ModemLinesServer& operator=(const ModemLinesServer&) = delete;

    // Listens for the terminal at slavePath, closing what it listened for before; false with a
    // reason.
    bool listen(const std::string& slavePath, std::string* error);
    void close();
    // The listening socket, for the caller's poll; -1 when none.
    int fd() const { return m_fd; }
    // Answers the requests that wait now, at most a few, each within kDeviceWaitMs. The count
    // answered.
    int serve(const Answer& answer);

private:
    void serveOne(int connection, const Answer& answer);

    int m_fd = -1;
};

} // namespace keystrand_sim

// The choice of the ports for an update.
#include "console/run/PortChoice.h"

#include "console/words/ExitCodes.h"
#include "console/words/Text.h"

namespace console {

namespace {

PortChoice Refused(int exitCode, const std::string& problem) {
    PortChoice choice;
    choice.exitCode = exitCode;
    choice.problem = problem;
    return choice;
}

// Each --port, none of them twice under two names.
PortChoice GivenPorts(const Options& options, serial::Ports& ports) {
    PortChoice choice;
    std::vector<std::string> identities;
    for (const std::string& name : options.ports) {
        const std::string identity = ports.identity(name);
        for (std::size_t i = 0; i < identities.size(); ++i) {
            if (identities[i] == identity) {
                return Refused(kExitUsage, Escaped(choice.ports[i]) + " and " + Escaped(name) +
                                               " are the same port (" + Escaped(identity) +
                                               "): give it once");
            }
        }
        identities.push_back(identity);
        choice.ports.push_back(name);
    }
    return choice;
}

std::string NameList(const std::vector<serial::PortInfo>& ports) {
    std::string names;
    for (const serial::PortInfo& p : ports) {
        names += (names.empty() ? "" : ", ") + Escaped(p.name);
    }
    return names;
}

} // namespace

std::string FilterList(const Options& options) {
    std::string text;
    for (std::size_t i = 0; i < options.portFilters.size(); ++i) {
        text += (i == 0                                ? ""
                 : i + 1 == options.portFilters.size() ? " or "
                                                       : ", ") +
                std::string("--port-filter ") + Escaped(options.portFilters[i].text());
    }
    return text;
}

PortChoice ChoosePorts(const Options& options, Platform& platform) {
    if (!options.ports.empty()) {
        return GivenPorts(options, platform.ports());
    }
    const std::vector<serial::PortInfo> present = platform.ports().list();
    PortChoice choice;
    if (options.allPorts) {
        for (const serial::PortInfo& p : serial::Filtered(options.portFilters, present)) {
            choice.ports.push_back(p.name);
        }
        if (choice.ports.empty() && !present.empty()) {
            return Refused(kExitPort, "No serial port passes " + FilterList(options) + " (" +
                                          NameList(present) + " do not; see --list-ports).");
        }
    } else {
        const std::string remembered = platform.rememberedPort();
        if (!remembered.empty() && platform.ports().present(remembered)) {
            choice.ports.push_back(remembered);
        } else if (present.size() == 1) {
            choice.ports.push_back(present.front().name);
        } else if (present.size() > 1) {
            return Refused(kExitPort, "Several serial ports are present and none is remembered: " +
                                          NameList(present) + ". Choose one with --port.");
        }
    }
    if (choice.ports.empty()) {
        return Refused(kExitPort, "No serial port found (see --list-ports).");
    }
    return choice;
}

} // namespace console

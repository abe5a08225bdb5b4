// keystrand-update's services on Linux: ttys through termios, the monotonic clock, a settings file.
#include <climits>
#include <cstdlib>

#include <sys/ioctl.h>
#include <unistd.h>

#include "console/Platform.h"
#include "console/posix/FileProfile.h"
#include "console/posix/PosixDiagnosis.h"
#include "console/posix/SteadyClock.h"
#include "console/posix/TtyPorts.h"
#include "serial/posix/TtyComm.h"

namespace console {

namespace {

class PosixPlatform : public Platform {
public:
    PosixPlatform(HostPorts ports, const std::string& settingsPath)
        : m_ports(std::move(ports)), m_profile(settingsPath) {}

    std::unique_ptr<fw::Comm> makeComm() override {
        return std::make_unique<serial::posix::TtyComm>(m_ports.table);
    }
    fw::Clock& clock() override { return m_clock; }
    fw::Profile& profile() override { return m_profile; }

    std::string programDir() override {
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) {
            return std::string();
        }
        const std::string path(self, static_cast<std::size_t>(n));
        return path.substr(0, path.rfind('/') + 1);
    }

    std::string folderPrefix(const std::string& folder) override {
        return folder.back() == '/' ? folder : folder + "/";
    }

    std::vector<PortListing> ports() override {
        std::vector<PortListing> list;
        for (const auto& entry : m_ports.table.entries()) {
            PortListing p;
            p.number = entry.first;
            p.path = entry.second;
            for (const auto& origin : m_ports.origins) {
                if (origin.first == entry.first && origin.second != "found") {
                    p.note = origin.second;
                }
            }
            list.push_back(p);
        }
        for (const std::string& path : m_ports.unnumbered) {
            list.push_back({0, path, "no COM number left: COM1 to COM12 are taken"});
        }
        return list;
    }

    int resolvePort(const std::string& text) override {
        return IsDevicePath(text) ? m_ports.numberOfPortPath(text) : ComNumberFromText(text);
    }

    std::string settingsPlace() override {
        return m_profile.path().empty() ? "nowhere: no home folder" : m_profile.path();
    }

    bool isTerminal(std::FILE* stream) override { return ::isatty(::fileno(stream)) == 1; }

    int terminalWidth(std::FILE* stream) override {
        winsize size{};
        return ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
    }

    std::string whyUnreadable(const std::string& path) override { return WhyFileUnreadable(path); }

    std::string openAdvice(int port, const fw::SystemError& error) override {
        return TtyOpenAdvice(m_ports.table.pathFor(port), error);
    }

    std::string devicePath(int port) override {
        const std::string path = m_ports.table.pathFor(port);
        char buffer[PATH_MAX];
        const char* real = ::realpath(path.c_str(), buffer);
        return real != nullptr && path != real ? path + " -> " + real : path;
    }

private:
    HostPorts m_ports;
    SteadyClock m_clock;
    FileProfile m_profile;
};

} // namespace

std::unique_ptr<Platform> MakePlatform(const Options& options, std::string* error) {
    const char* devDir = std::getenv("KEYSTRAND_UPDATE_DEV_DIR");
    const std::vector<std::string> found =
        FindSerialTtys(devDir != nullptr && *devDir != '\0' ? devDir : "/dev");
    HostPorts ports;
    std::vector<std::string> portPaths;
    for (const std::string& port : options.ports) {
        if (IsDevicePath(port)) {
            portPaths.push_back(port);
        }
    }
    if (!NumberPorts(options.maps, found, portPaths, &ports, error)) {
        return nullptr;
    }
    return std::make_unique<PosixPlatform>(std::move(ports), FileProfile::DefaultPath());
}

} // namespace console

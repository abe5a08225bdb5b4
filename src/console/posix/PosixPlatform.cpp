// keystrand-update's services on Linux: ttys by their paths, the steady clock, a settings file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/SteadyClock.h"
#include "console/Platform.h"
#include "console/posix/PosixDiagnosis.h"
#include "console/posix/SettingsFile.h"
#include "serial/posix/TtyLine.h"
#include "serial/posix/TtyPorts.h"

namespace console {

namespace {

constexpr char kSysDir[] = "/sys";

class PosixPlatform : public Platform {
public:
    PosixPlatform(std::string devDir, std::string settingsPath)
        : m_devDir(std::move(devDir)), m_settings(std::move(settingsPath)) {}

    std::unique_ptr<serial::Line> makeLine(const std::string& port) override {
        return std::make_unique<serial::posix::TtyLine>(port);
    }
    base::Clock& clock() override { return m_clock; }

    std::vector<serial::PortInfo> ports() override {
        return serial::posix::ListTtys(m_devDir, kSysDir);
    }

    bool portName(const std::string& text, std::string* name, std::string* error) override {
        if (text.find('/') != std::string::npos) {
            *name = text;
            return true;
        }
        *error = "--port takes the port's path, such as /dev/ttyUSB0, not \"" + text + "\"";
        if (text.rfind("tty", 0) == 0) {
            *error += " (did you mean /dev/" + text + "?)";
        } else if (text.size() > 3 && (text[0] == 'C' || text[0] == 'c')) {
            *error += "; --list-ports shows the ports present";
        }
        return false;
    }

    std::string portIdentity(const std::string& port) override {
        return serial::posix::ResolvedPath(port);
    }
    bool portExists(const std::string& port) override {
        struct stat st {};
        return ::stat(port.c_str(), &st) == 0;
    }
    std::string describePort(const std::string& port) override {
        return serial::posix::DescribeTty(port, kSysDir);
    }
    std::string openAdvice(const std::string& port, const base::SystemError& error) override {
        return TtyOpenAdvice(port, error);
    }

    std::string rememberedPort() override { return m_settings.port(); }
    bool rememberPort(const std::string& port) override { return m_settings.setPort(port); }
    std::string settingsPlace() override {
        return m_settings.path().empty() ? "nowhere: no home folder" : m_settings.path();
    }

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
    std::string whyUnreadable(const std::string& path) override { return WhyFileUnreadable(path); }

    std::string hostName() override {
        char name[256] = {};
        return ::gethostname(name, sizeof name - 1) == 0 ? name : std::string();
    }
    bool appendLine(const std::string& path, const std::string& text, std::string* why) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            *why = std::strerror(errno);
            return false;
        }
        // The lock keeps whole lines apart where a file system does not make appends atomic.
        ::flock(fd, LOCK_EX);
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            ::fsync(fd) == 0;
        const int error = errno;
        ::close(fd);
        if (!written) {
            *why = std::strerror(error != 0 ? error : EIO);
        }
        return written;
    }

    bool isTerminal(std::FILE* stream) override { return ::isatty(::fileno(stream)) == 1; }
    int terminalWidth(std::FILE* stream) override {
        winsize size{};
        return ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
    }
    // Any terminal but a dumb one.
    bool enableCursorMovement(std::FILE* stream) override {
        const char* term = std::getenv("TERM");
        return isTerminal(stream) && term != nullptr && *term != '\0' &&
               std::strcmp(term, "dumb") != 0;
    }

private:
    std::string m_devDir;
    SettingsFile m_settings;
    base::SteadyClock m_clock;
};

} // namespace

std::unique_ptr<Platform> MakePlatform() {
    const char* devDir = std::getenv("KEYSTRAND_UPDATE_DEV_DIR");
    return std::make_unique<PosixPlatform>(devDir != nullptr && *devDir != '\0' ? devDir : "/dev",
                                           SettingsFile::DefaultPath());
}

} // namespace console

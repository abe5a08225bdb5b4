// keystrand-update's services on Linux: ttys by their paths, the steady clock, a settings file,
// files and the terminal.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/SteadyClock.h"
#include "console/os/Platform.h"
#include "console/os/posix/SettingsFile.h"
#include "serial/posix/TtyPortSet.h"

namespace console {

namespace {

// Why a file cannot be opened for reading, in a user's words.
std::string WhyFileUnreadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return "a folder, not a file";
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == EACCES || errno == EPERM ? "permission denied" : std::strerror(errno);
    }
    ::close(fd);
    return S_ISREG(st.st_mode) ? "it cannot be read" : "not a regular file";
}

class PosixPlatform : public Platform {
public:
    PosixPlatform(std::string devDir, std::string sysDir, std::string settingsPath)
        : m_ports(std::move(devDir), std::move(sysDir)), m_settings(std::move(settingsPath)) {}

    serial::Ports& ports() override { return m_ports; }
    base::Clock& clock() override { return m_clock; }

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

    // Cursor movement on any terminal but a dumb one.
    Stream stream(std::FILE* file) override {
        Stream s;
        s.file = file;
        s.terminal = ::isatty(::fileno(file)) == 1;
        if (s.terminal) {
            const char* term = std::getenv("TERM");
            s.cursorMovement = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
            const int fd = ::fileno(file);
            s.width = [fd] {
                winsize size{};
                return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? static_cast<int>(size.ws_col) : 0;
            };
        }
        return s;
    }

private:
    serial::posix::TtyPortSet m_ports;
    SettingsFile m_settings;
    base::SteadyClock m_clock;
};

// A folder from the environment, for tests that make up their own; else the system's.
std::string FolderFromEnvironment(const char* name, const char* otherwise) {
    const char* folder = std::getenv(name);
    return folder != nullptr && *folder != '\0' ? folder : otherwise;
}

} // namespace

std::unique_ptr<Platform> MakePlatform() {
    return std::make_unique<PosixPlatform>(
        FolderFromEnvironment("KEYSTRAND_UPDATE_DEV_DIR", "/dev"),
        FolderFromEnvironment("KEYSTRAND_UPDATE_SYS_DIR", "/sys"), SettingsFile::DefaultPath());
}

} // namespace console

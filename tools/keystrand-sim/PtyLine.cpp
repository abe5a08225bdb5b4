// Pseudo-terminal pair for keystrand-sim: creation, raw mode, the link, the slave's settings.
#include "PtyLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace keystrand_sim {

namespace {

struct SpeedEntry {
    speed_t code;
    std::uint32_t baud;
};
constexpr SpeedEntry kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PtyLine::~PtyLine() {
    close();
}

bool PtyLine::create(std::string* error) {
    close();
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = Errno("posix_openpt");
        return false;
    }
    if (grantpt(fd) != 0 || unlockpt(fd) != 0) {
        *error = Errno("grantpt/unlockpt");
        ::close(fd);
        return false;
    }
    char name[PATH_MAX];
    if (ptsname_r(fd, name, sizeof name) != 0) {
        *error = Errno("ptsname_r");
        ::close(fd);
        return false;
    }
    m_master = fd;
    m_slavePath = name;
    // Terminal settings made through the master apply to the slave.
    struct termios tio;
    if (tcgetattr(m_master, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B115200);
        cfsetospeed(&tio, B115200);
        tcsetattr(m_master, TCSANOW, &tio);
    }
    // Until the slave has been opened and closed once, the master does not report POLLHUP; do
    // that now so that "nobody has the port open" looks the same before the first open as after
    // a close.
    const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        *error = Errno("open slave");
        close();
        return false;
    }
    ::close(slave);
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    return true;
}

void PtyLine::close() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool PtyLine::link(const std::string& linkPath, std::string* error) {
    struct stat st;
    if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = linkPath + " exists and is not a symbolic link";
        return false;
    }
    // Make the new link beside the old one and rename it over, so that the path never vanishes.
    const std::string temp = linkPath + ".keystrand-sim-" + std::to_string(getpid());
    ::unlink(temp.c_str());
    if (symlink(m_slavePath.c_str(), temp.c_str()) != 0) {
        *error = Errno(("symlink " + temp).c_str());
        return false;
    }
    if (rename(temp.c_str(), linkPath.c_str()) != 0) {
        *error = Errno(("rename to " + linkPath).c_str());
        ::unlink(temp.c_str());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PtyLine::unlink() {
    if (m_linkPath.empty()) {
        return;
    }
    char target[PATH_MAX];
    const ssize_t n = readlink(m_linkPath.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        target[n] = '\0';
        if (m_slavePath == target) {
            ::unlink(m_linkPath.c_str());
        }
    }
    m_linkPath.clear();
}

bool PtyLine::lineSettings(std::uint32_t* baud, int* dataBits, int* parity, int* stopBits) const {
    struct termios tio;
    if (m_master < 0 || tcgetattr(m_master, &tio) != 0) {
        return false;
    }
    const speed_t speed = cfgetospeed(&tio);
    *baud = 0;
    for (const auto& entry : kSpeeds) {
        if (entry.code == speed) {
            *baud = entry.baud;
        }
    }
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        *dataBits = 5;
        break;
    case CS6:
        *dataBits = 6;
        break;
    case CS7:
        *dataBits = 7;
        break;
    default:
        *dataBits = 8;
        break;
    }
    if ((tio.c_cflag & PARENB) == 0) {
        *parity = 0;
    } else {
        *parity = (tio.c_cflag & PARODD) != 0 ? 1 : 2;
    }
    *stopBits = (tio.c_cflag & CSTOPB) != 0 ? 2 : 0;
    return true;
}

void PtyLine::makeRaw() {
    struct termios tio;
    if (m_master >= 0 && tcgetattr(m_master, &tio) == 0) {
        const speed_t in = cfgetispeed(&tio);
        const speed_t out = cfgetospeed(&tio);
        cfmakeraw(&tio);
        cfsetispeed(&tio, in);
        cfsetospeed(&tio, out);
        tcsetattr(m_master, TCSANOW, &tio);
    }
}

} // namespace keystrand_sim

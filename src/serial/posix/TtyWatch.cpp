// The ttys under a /dev watched by inotify, with a look every so often where it cannot be had.
#include "serial/posix/TtyWatch.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "serial/PollingWatch.h"

namespace serial::posix {

namespace {

// What inotify reports that may mean a port came, went or was made anew.
constexpr std::uint32_t kChanges =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

class InotifyWatch : public PortWatch {
public:
    InotifyWatch(int fd, int devWatch, std::string devDir, base::Clock& clock)
        : m_fd(fd), m_devWatch(devWatch), m_devDir(std::move(devDir)), m_clock(clock) {
        addStableNames();
    }
    ~InotifyWatch() override { ::close(m_fd); }
    InotifyWatch(const InotifyWatch&) = delete;
    InotifyWatch& operator=(const InotifyWatch&) = delete;

    bool wait(std::uint32_t limitMs) override {
        if (m_polling) {
            return m_polling->wait(limitMs);
        }
        pollfd p{m_fd, POLLIN, 0};
        const int ready =
            ::poll(&p, 1, static_cast<int>(limitMs > 0x7fffffffu ? 0x7fffffffu : limitMs));
        if (ready <= 0) {
            return false; // the limit, or a signal: nothing is known to have changed
        }
        drain();
        // serial/ or serial/by-id may have been made since: watch them too (a watch that
        // exists already is kept).
        addStableNames();
        return true;
    }

    std::string fallback() const override { return m_polling ? m_polling->fallback() : ""; }

private:
    void addStableNames() {
        for (const char* sub : {"/serial", "/serial/by-id"}) {
            ::inotify_add_watch(m_fd, (m_devDir + sub).c_str(), kChanges | IN_ONLYDIR);
        }
    }

    // Reads every event waiting; a bounded number of reads, so that a flood cannot hold the
    // caller. The folder itself gone means nothing more will be told: look every so often.
    void drain() {
        alignas(inotify_event) char buffer[4096];
        for (int reads = 0; reads < 64; ++reads) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                if (event.wd == m_devWatch &&
                    (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))) {
                    m_polling = std::make_unique<PollingWatch>(
                        m_clock, kPollMs,
                        m_devDir + " went away; looking for it every " + std::to_string(kPollMs) +
                            " ms");
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            }
        }
    }

    int m_fd;
    int m_devWatch;
    std::string m_devDir;
    base::Clock& m_clock;
    std::unique_ptr<PollingWatch> m_polling;
};

std::unique_ptr<PortWatch> Polling(base::Clock& clock, const std::string& why) {
    return std::make_unique<PollingWatch>(
        clock, kPollMs, why + "; looking at the ports every " + std::to_string(kPollMs) + " ms");
}

} // namespace

std::unique_ptr<PortWatch> WatchTtys(const std::string& devDir, base::Clock& clock) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        return Polling(clock, std::string("inotify cannot be had: ") + std::strerror(errno));
    }
    const int wd = ::inotify_add_watch(fd, devDir.c_str(), kChanges | IN_ONLYDIR);
    if (wd < 0) {
        const int error = errno;
        ::close(fd);
        return Polling(clock, "cannot watch " + devDir + ": " + std::strerror(error));
    }
    return std::make_unique<InotifyWatch>(fd, wd, devDir, clock);
}

} // namespace serial::posix

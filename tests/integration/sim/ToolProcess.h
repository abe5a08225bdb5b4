// Test helpers for driving keystrand-sim from outside: start, stop, and talk on its pty link.
#pragma once
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace simtool {

using Clock = std::chrono::steady_clock;
// Every wait in these tests ends after this long, so a broken tool fails a test, never hangs it.
constexpr auto kWaitLimit = std::chrono::seconds(5);

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// A built tool, found beside this test's build folder: "tools/keystrand-sim/keystrand-sim".
inline std::string BuiltTool(const std::string& below) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return std::string();
    }
    self[n] = '\0';
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/../" + below;
}

inline std::string ToolPath() {
    return BuiltTool("tools/keystrand-sim/keystrand-sim");
}

// keystrand-modem-lines, in the build's bin/ with its libraries in the build's lib/.
inline std::string ModemLinesPath() {
    return BuiltTool("tools/modem-lines/bin/keystrand-modem-lines");
}

// Polls until the condition holds or the limit passes; true when it held.
template <typename Condition>
bool WaitFor(Condition condition, Clock::duration limit = kWaitLimit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// A child process with its standard output and error going to files.
class Child {
public:
    Child() = default;
    ~Child() { kill(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool start(const std::vector<std::string>& args, const std::string& outPath,
               const std::string& errPath) {
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            m_pid = -1;
        }
        return rc == 0;
    }
    // Waits for the end; the exit status, or -1 when it did not end in time (it is then killed).
    int wait(Clock::duration limit = kWaitLimit) {
        if (m_pid <= 0) {
            return m_status;
        }
        int status = 0;
        const bool ended = WaitFor(
            [&] {
                const pid_t r = waitpid(m_pid, &status, WNOHANG);
                return r == m_pid;
            },
            limit);
        if (!ended) {
            kill();
            return -1;
        }
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_status;
    }
    // The process's id while it runs; -1 after.
    pid_t pid() const { return m_pid; }
    void signal(int sig) {
        if (m_pid > 0) {
            ::kill(m_pid, sig);
        }
    }
    void kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    bool running() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

// The program's end of the line: the pty slave opened through the link, raw, 8N1.
class Port {
public:
    ~Port() { close(); }
    bool open(const std::string& path, speed_t speed = B115200) {
        close();
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0) {
            return false;
        }
        struct termios tio;
        if (tcgetattr(m_fd, &tio) != 0) {
            return false;
        }
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }
    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    bool write(const std::string& text) {
        std::size_t done = 0;
        const auto end = Clock::now() + kWaitLimit;
        while (done < text.size() && Clock::now() < end) {
            const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return done == text.size();
    }
    // Reads until n characters have come or the limit passes.
    std::string read(std::size_t n, Clock::duration limit = kWaitLimit) {
        std::string out;
        const auto end = Clock::now() + limit;
        while (out.size() < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) {
                break;
            }
            struct pollfd pfd {
                m_fd, POLLIN, 0
            };
            if (poll(&pfd, 1, static_cast<int>(left)) <= 0) {
                continue;
            }
            if ((pfd.revents & POLLIN) == 0) {
                m_hungUp = (pfd.revents & (POLLHUP | POLLERR)) != 0;
                if (m_hungUp) {
                    break;
                }
                continue;
            }
            char buffer[256];
            const ssize_t got = ::read(m_fd, buffer, std::min(sizeof buffer, n - out.size()));
            if (got > 0) {
                out.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno == EIO) {
                // Readable yet nothing to read: the other end has hung up.
                m_hungUp = true;
                break;
            }
        }
        return out;
    }
    bool hungUp() const { return m_hungUp; }

private:
    int m_fd = -1;
    bool m_hungUp = false;
};

// True when the text holds each of the parts, one after the other in that order.
inline bool InOrder(const std::string& text, const std::vector<std::string>& parts) {
    std::string::size_type at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos) {
            return false;
        }
        at += part.size();
    }
    return true;
}

// key=value lines of the tool's status file.
inline std::string StatusValue(const std::string& statusPath, const std::string& key) {
    std::istringstream in(ReadWholeFile(statusPath));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return std::string();
}

} // namespace simtool

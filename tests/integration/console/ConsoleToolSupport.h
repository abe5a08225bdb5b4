// The console program as a process in tests: the fixture that starts keystrand-update against
// keystrand-sim devices on ptys, and a terminal of a given width for it to write to.
#pragma once
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "integration/console/ConsoleTestSupport.h"
#include "integration/sim/ToolProcess.h"
#include "sim/HexImage.h"
#include "support/TempDir.h"

namespace consoletest {

using simtool::Child;
using simtool::ReadWholeFile;
using simtool::WaitFor;

inline const char* const kIncomplete =
    "The firmware is incomplete: run the update again; the device "
    "stays in its boot loader until an update succeeds.\n";
inline const char* const kUnchanged = "Nothing was sent to the device: it is unchanged.\n";
inline const char* const kNoModemStatus =
    "The modem status of this line cannot be read (no DSR): the "
    "boot loader is assumed to be running.\n";

// The lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The value of a field of a --report record as it stands in the JSON: a quoted string, a
// number or null.
inline std::string Field(const std::string& record, const std::string& name) {
    std::smatch m;
    const std::regex field("\"" + name + "\":(\"(?:[^\"\\\\]|\\\\.)*\"|[^,}]*)");
    return std::regex_search(record, m, field) ? m[1].str() : "<missing>";
}

// The built program, beside this test's build folder.
inline std::string UpdaterPath() {
    const std::string sim = simtool::ToolPath(); // <build>/tests/../tools/keystrand-sim/...
    return sim.substr(0, sim.find("/../tools/")) + "/../src/console/keystrand-update";
}

// The summary line's time and rate vary from run to run.
inline std::string WithoutTimes(const std::string& text) {
    return std::regex_replace(text, std::regex("data bytes in [0-9.]+ s, [0-9]+ rows/s"),
                              "data bytes in T s, R rows/s");
}

class ConsoleTool : public ::testing::Test {
protected:
    void SetUp() override {
        simPath = simtool::ToolPath();
        updater = UpdaterPath();
        ASSERT_EQ(::access(simPath.c_str(), X_OK), 0) << "keystrand-sim not built at " << simPath;
        ASSERT_EQ(::access(updater.c_str(), X_OK), 0)
            << "keystrand-update not built at " << updater;
        ::mkdir(dir.path("pkg").c_str(), 0755);
        ::mkdir(dir.path("dev").c_str(), 0755);
        settings = dir.path("config/settings");
        // The program finds its settings and its ttys here, never in the real home or /dev.
        ::setenv("KEYSTRAND_UPDATE_SETTINGS", settings.c_str(), 1);
        ::setenv("KEYSTRAND_UPDATE_DEV_DIR", dir.path("dev").c_str(), 1);
        ::setenv("LC_ALL", "C.UTF-8", 1); // a user's terminal, whatever the test's was
    }

    void writePackage(const std::string& hex, const std::string& hexName = "firmware.hex") {
        hexText = hex;
        dir.write("pkg/Keystrand_SM.txt", "2.10\r\n" + hexName + "\r\n");
        dir.write("pkg/" + hexName, hex);
    }

    // A simulated device whose line appears at link; its image and status beside it.
    struct Device {
        Child child;
        std::string link, image, status;
    };

    void startDevice(Device& d, const std::string& link, std::vector<std::string> extra = {}) {
        d.link = link;
        d.image = link + ".image";
        d.status = link + ".status";
        std::vector<std::string> args = {simPath, "--link",        d.link,   "--image-out",
                                         d.image, "--status-file", d.status, "--max-seconds",
                                         "120",   "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(d.child.start(args, link + ".out", link + ".err"));
        ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(link + ".out") == link + "\n"; }))
            << "the device did not start: " << ReadWholeFile(link + ".err");
    }

    int stopDevice(Device& d) {
        d.child.signal(SIGTERM);
        return d.child.wait();
    }

    // Starts keystrand-update with the arguments; its output goes to update.out and update.err.
    bool start(Child& program, std::vector<std::string> args) {
        args.insert(args.begin(), updater);
        return program.start(args, dir.path("update.out"), dir.path("update.err"));
    }
    int finish(Child& program, simtool::Clock::duration limit = std::chrono::seconds(30)) {
        const int code = program.wait(limit);
        out = ReadWholeFile(dir.path("update.out"));
        err = ReadWholeFile(dir.path("update.err"));
        return code;
    }
    int run(std::vector<std::string> args) {
        Child program;
        return start(program, std::move(args)) ? finish(program) : -2;
    }

    std::string pkg() const { return dir.path("pkg"); }

    void expectImageEqualsFile(const Device& d) {
        sim::Image flashed;
        sim::Image expected;
        std::string error;
        ASSERT_TRUE(sim::ImageFromHexFile(d.image, &flashed, &error)) << error;
        ASSERT_TRUE(sim::ImageFromHexText(hexText, &expected, &error)) << error;
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(sim::DescribeImageDifference(flashed, expected), "");
    }

    TempDir dir;
    std::string simPath, updater, settings, hexText, out, err;
};

// The station's tests: the USB facts from a made-up /sys (the machine's own never reaches them)
// and a settling time of the test's, so that plugs follow each other quickly.
class StationTool : public ConsoleTool {
protected:
    void setUpStation(const char* settleMs) {
        ::mkdir(dir.path("sys").c_str(), 0755);
        ::setenv("KEYSTRAND_UPDATE_SYS_DIR", dir.path("sys").c_str(), 1);
        ::setenv("KEYSTRAND_UPDATE_SETTLE_MS", settleMs, 1);
        report = dir.path("records.jsonl");
    }
    void TearDown() override { ::unsetenv("KEYSTRAND_UPDATE_SETTLE_MS"); }

    // The records written whole so far: a record being appended as the file is read is not one
    // yet.
    std::vector<std::string> records() const {
        const std::string text = ReadWholeFile(report);
        return Lines(text.substr(0, text.rfind('\n') + 1));
    }

    std::string report; // the station's --report
};

// The program with its output on a terminal of the given width and type (TERM; empty: none), as
// a user sees it: the terminal the test means, whatever the one it runs in.
class TerminalRun {
public:
    explicit TerminalRun(int columns, std::string type = "xterm") : m_type(std::move(type)) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 24;
        m_ok = ::openpty(&m_master, &m_slave, nullptr, nullptr, &size) == 0;
    }
    ~TerminalRun() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_master);
        ::close(m_slave);
    }
    bool start(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(m_slave, 1);
            ::dup2(m_slave, 2);
            if (m_type.empty()) {
                ::unsetenv("TERM");
            } else {
                ::setenv("TERM", m_type.c_str(), 1);
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return m_ok && m_pid > 0;
    }
    void resize(int columns) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 24;
        ::ioctl(m_master, TIOCSWINSZ, &size);
    }
    // Reads what the program writes until text appears or the program ends.
    bool readUntil(const std::string& text) {
        const auto end = simtool::Clock::now() + std::chrono::seconds(20);
        while (m_screen.find(text) == std::string::npos && simtool::Clock::now() < end) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char buffer[4096];
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0) {
                    m_screen.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        return m_screen.find(text) != std::string::npos;
    }
    // Waits for the program to end, then takes what it wrote that was not read yet.
    int wait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        pollfd p{m_master, POLLIN, 0};
        while (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN) != 0) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            m_screen.append(buffer, static_cast<std::size_t>(n));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void signal(int sig) { ::kill(m_pid, sig); }
    // The terminal's modes as the program's side sees them.
    termios modes() const {
        termios t{};
        ::tcgetattr(m_slave, &t);
        return t;
    }
    const std::string& screen() const { return m_screen; }

private:
    std::string m_type;
    bool m_ok = false;
    int m_master = -1;
    int m_slave = -1;
    pid_t m_pid = -1;
    std::string m_screen;
};

// Columns a text takes on a terminal: UTF-8 continuation bytes take none.
inline std::size_t Columns(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

} // namespace consoletest

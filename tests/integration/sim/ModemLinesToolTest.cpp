// keystrand-modem-lines with keystrand-sim, both as processes: a program under it reads the
// simulated device's DSR, CTS and DCD and sets its DTR and RTS; a terminal that no simulated
// device serves keeps the system's answers; the 32-bit library for 32-bit Wine is there.
#include "ToolProcess.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

namespace {

using simtool::Child;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

const char* const kProbe = KEYSTRAND_SOURCE_DIR "/tests/integration/sim/modem_lines_probe.py";

// TIOCMGET's answer in the application firmware: DSR, CTS and DCD, none of the program's lines.
const int kDeviceLines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;

std::string Hex(int bits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", bits);
    return text;
}

class ModemLinesTool : public ::testing::Test {
protected:
    void SetUp() override {
        launcher = simtool::ModemLinesPath();
        ASSERT_EQ(::access(launcher.c_str(), X_OK), 0) << "not built: " << launcher;
        // Nothing preloaded but what the launcher adds; a known locale.
        ::unsetenv("LD_PRELOAD");
        ::setenv("LC_ALL", "C.UTF-8", 1);
        link = dir.path("line");
        status = dir.path("status");
        log = dir.path("device.log");
    }

    void startDevice(std::vector<std::string> extra) {
        std::vector<std::string> args = {
            simtool::ToolPath(), "--link", link,     "--log", log, "--status-file", status,
            "--max-seconds",     "60",     "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(device.start(args, dir.path("sim.out"), dir.path("sim.err")));
        ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(dir.path("sim.out")) == link + "\n"; }))
            << ReadWholeFile(dir.path("sim.err"));
    }

    // The probe on path with the steps, under the launcher or not; its output, or "exit N".
    std::string probe(const std::string& path, std::vector<std::string> steps,
                      bool underLauncher = true) {
        std::vector<std::string> args;
        if (underLauncher) {
            args.push_back(launcher);
        }
        args.insert(args.end(), {"/usr/bin/python3", kProbe, path});
        args.insert(args.end(), steps.begin(), steps.end());
        Child program;
        if (!program.start(args, dir.path("probe.out"), dir.path("probe.err"))) {
            return "not started";
        }
        const int code = program.wait(std::chrono::seconds(20));
        if (code != 0) {
            return "exit " + std::to_string(code) + ": " + ReadWholeFile(dir.path("probe.err"));
        }
        return ReadWholeFile(dir.path("probe.out"));
    }

    TempDir dir;
    std::string launcher, link, status, log;
    Child device;
};

TEST_F(ModemLinesTool, AProgramReadsTheApplicationFirmwaresLinesAndSetsItsOwn) {
    startDevice({"--mode", "app"});
    EXPECT_EQ(probe(link, {"get", "bis:dtr+rts", "get", "bic:dtr", "get", "set:", "get"}),
              "get " + Hex(kDeviceLines) + "\nbis ok\nget " +
                  Hex(kDeviceLines | TIOCM_DTR | TIOCM_RTS) + "\nbic ok\nget " +
                  Hex(kDeviceLines | TIOCM_RTS) + "\nset ok\nget " + Hex(kDeviceLines) + "\n");
    // The device saw each change, with its time, and the line's close (the device tells of it
    // once it has noticed it).
    EXPECT_TRUE(WaitFor([&] { return StatusValue(status, "state") == "closed"; }));
    EXPECT_TRUE(
        WaitFor([&] { return ReadWholeFile(log).find("] -- line closed") != std::string::npos; }));
    const std::string events = ReadWholeFile(log);
    EXPECT_TRUE(simtool::InOrder(events, {"] -- DTR on, RTS on\n", "] -- DTR off, RTS on\n",
                                          "] -- DTR off, RTS off\n", "] -- line closed"}))
        << events;
    EXPECT_EQ(StatusValue(status, "modem_requests"), "7");
    EXPECT_EQ(StatusValue(status, "dsr"), "1");
    EXPECT_EQ(StatusValue(status, "dtr"), "0");
}

TEST_F(ModemLinesTool, TheLinesDropWhenTheBootLoaderTakesOver) {
    startDevice({"--mode", "app", "--restart-ms", "50"});
    EXPECT_EQ(probe(link, {"get", "write:<W", "dsr-off:10", "get"}),
              "get " + Hex(kDeviceLines) + "\nwrite ok\ndsr-off yes\nget 0x0\n");
    EXPECT_TRUE(WaitFor([&] { return StatusValue(status, "mode") == "boot"; }));
    EXPECT_EQ(StatusValue(status, "dsr"), "0");
}

TEST_F(ModemLinesTool, ABootLoaderHoldsNoLine) {
    startDevice({"--mode", "boot"});
    EXPECT_EQ(probe(link, {"get"}), "get 0x0\n");
}

TEST_F(ModemLinesTool, ACableWithoutDsrKeepsCtsAndDcd) {
    startDevice({"--mode", "app", "--fault", "dsr:off"});
    EXPECT_EQ(probe(link, {"get"}), "get " + Hex(TIOCM_CTS | TIOCM_CAR) + "\n");
}

TEST_F(ModemLinesTool, AFailingStatusReadFailsTheRequestWithAnInputOutputError) {
    startDevice({"--mode", "app", "--fault", "status:fail:once"});
    EXPECT_EQ(probe(link, {"get", "get"}), "get error 5\nget " + Hex(kDeviceLines) + "\n");
}

TEST_F(ModemLinesTool, ATerminalThatNoSimulatedDeviceServesKeepsTheSystemsAnswers) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string without = probe(name, {"get", "bis:dtr"}, false);
    EXPECT_EQ(without.rfind("get error ", 0), 0u) << "a pseudo-terminal has no modem lines";
    EXPECT_EQ(probe(name, {"get", "bis:dtr"}), without);
    // Nor does a simulated device elsewhere change that.
    startDevice({"--mode", "app"});
    EXPECT_EQ(probe(name, {"get", "bis:dtr"}), without);
    EXPECT_EQ(StatusValue(status, "modem_requests"), "0");
    ::close(slave);
    ::close(master);
}

TEST_F(ModemLinesTool, RunsTheCommandAsItIsAndSaysWhyNot) {
    Child program;
    ASSERT_TRUE(program.start({launcher, "/bin/sh", "-c", "echo \"$LD_PRELOAD\"; exit 7"},
                              dir.path("out"), dir.path("err")));
    EXPECT_EQ(program.wait(), 7);
    EXPECT_NE(
        ReadWholeFile(dir.path("out")).find("/$LIB/keystrand-sim/libkeystrand-modem-lines.so"),
        std::string::npos)
        << ReadWholeFile(dir.path("out"));

    ASSERT_TRUE(
        program.start({launcher, dir.path("no-such-program")}, dir.path("out"), dir.path("err")));
    EXPECT_EQ(program.wait(), 127);
    EXPECT_NE(ReadWholeFile(dir.path("err")).find("cannot run "), std::string::npos);

    ASSERT_TRUE(program.start({launcher}, dir.path("out"), dir.path("err")));
    EXPECT_EQ(program.wait(), 2);
    ASSERT_TRUE(program.start({launcher, "--bogus"}, dir.path("out"), dir.path("err")));
    EXPECT_EQ(program.wait(), 2);
    ASSERT_TRUE(program.start({launcher, "--help"}, dir.path("out"), dir.path("err")));
    EXPECT_EQ(program.wait(), 0);
    EXPECT_NE(ReadWholeFile(dir.path("out")).find("TIOCMGET"), std::string::npos);
}

// 32-bit programs cannot run on every machine (this one's kernel may lack them), so the 32-bit
// library is checked as a file: the right kind, and both names of the call taken.
TEST(ModemLinesLibraries, BothKindsAreBuiltAndTakeBothNamesOfTheCall) {
    for (const std::string kind : {"x86_64-linux-gnu", "i386-linux-gnu"}) {
        const std::string library = simtool::BuiltTool(
            "tools/modem-lines/lib/" + kind + "/keystrand-sim/libkeystrand-modem-lines.so");
        const std::string header = ReadWholeFile(library).substr(0, 20);
        ASSERT_EQ(header.substr(0, 4), "\x7f"
                                       "ELF")
            << library;
        const bool is32 = kind == "i386-linux-gnu";
        EXPECT_EQ(header[4], is32 ? 1 : 2) << library << ": ELF class";
        EXPECT_EQ(static_cast<unsigned char>(header[18]), is32 ? 3 : 62) << library << ": machine";

        const std::string listing = "nm -D --defined-only '" + library + "'";
        std::FILE* nm = ::popen(listing.c_str(), "r");
        ASSERT_NE(nm, nullptr);
        std::string symbols;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, nm) != nullptr) {
            symbols += buffer;
        }
        ::pclose(nm);
        EXPECT_NE(symbols.find(" T ioctl\n"), std::string::npos) << library << ":\n" << symbols;
        EXPECT_NE(symbols.find(" T __ioctl_time64\n"), std::string::npos) << library;
        EXPECT_EQ(ReadWholeFile(library).find("libstdc++"), std::string::npos)
            << library << " needs no C++ library";
    }
}

} // namespace

// keystrand-sim run as a separate process: the boot-loader exchange on its pty, reopening,
// faults from the command line, hangup, its outputs and its clean end on signals.
#include "ToolProcess.h"
#include "sim/HexImage.h"
#include "sim/Protocol.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using simtool::Child;
using simtool::Port;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

const std::string kRequest = sim::kIdentificationRequest;
const std::string kGreeting = std::string("KYST-SM-2.10\r?") + sim::kXon;
const std::string kRowDone = std::string(1, sim::kXoff) + "~" + sim::kXon;
const std::string kRow1 = ":0300300002337A1E";
const std::string kEof = ":00000001FF";

class KeystrandSimTool : public ::testing::Test {
protected:
    void SetUp() override {
        tool = simtool::ToolPath();
        ASSERT_TRUE(::access(tool.c_str(), X_OK) == 0) << "keystrand-sim not built at " << tool;
        link = dir.path("COM3");
        image = dir.path("image.hex");
        log = dir.path("sim.log");
        status = dir.path("status");
    }

    // Starts the tool with the usual outputs and the given extra options; waits for its link.
    void start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {tool,   "--link",        link, "--image-out",
                                         image,  "--log",         log,  "--status-file",
                                         status, "--max-seconds", "60", "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(child.start(args, dir.path("stdout"), dir.path("stderr")));
        ASSERT_TRUE(WaitFor([&] { return simtool::Exists(link); }))
            << "no link; stderr: " << ReadWholeFile(dir.path("stderr"));
        ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(dir.path("stdout")) == link + "\n"; }));
    }

    void exchangeTwoRows(Port& port) {
        ASSERT_TRUE(port.write(kRequest));
        ASSERT_EQ(port.read(15), kGreeting);
        ASSERT_TRUE(port.write(kRow1));
        ASSERT_EQ(port.read(3), kRowDone);
        ASSERT_TRUE(port.write(kEof));
        ASSERT_EQ(port.read(1), "@");
    }

    int stop(int sig = SIGTERM) {
        child.signal(sig);
        return child.wait();
    }

    TempDir dir;
    Child child;
    std::string tool, link, image, log, status;
};

TEST_F(KeystrandSimTool, TwoRowExchangeThenImageWrittenOnSigterm) {
    start();
    Port port;
    ASSERT_TRUE(port.open(link));
    exchangeTwoRows(port);
    EXPECT_EQ(port.read(1, std::chrono::milliseconds(200)), "");
    EXPECT_TRUE(WaitFor([&] { return StatusValue(status, "file_complete") == "1"; }));
    EXPECT_EQ(StatusValue(status, "rows_accepted"), "2");
    EXPECT_EQ(StatusValue(status, "state"), "open");
    port.close();

    EXPECT_EQ(stop(), 0);
    EXPECT_FALSE(simtool::Exists(link));
    EXPECT_EQ(StatusValue(status, "state"), "stopped");
    sim::Image flashed;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexFile(image, &flashed, &error)) << error;
    EXPECT_EQ(flashed, (sim::Image{{0x30, 0x02}, {0x31, 0x33}, {0x32, 0x7A}}));
    const std::string text = ReadWholeFile(log);
    EXPECT_NE(text.find("rx \"#&!KYST-SM35\""), std::string::npos) << text;
    EXPECT_NE(text.find("rx \"" + kRow1 + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("tx \"KYST-SM-2.10\\r\""), std::string::npos) << text;
    EXPECT_NE(text.find("row 2 accepted"), std::string::npos) << text;
    EXPECT_NE(text.find("line set to 115200 baud"), std::string::npos) << text;
}

TEST_F(KeystrandSimTool, ServesAgainAfterTheProgramClosesTheLine) {
    start();
    for (int round = 1; round <= 3; ++round) {
        Port port;
        ASSERT_TRUE(port.open(link)) << "round " << round;
        ASSERT_TRUE(port.write(kRequest));
        EXPECT_EQ(port.read(15), kGreeting) << "round " << round;
        port.close();
        EXPECT_TRUE(WaitFor([&] { return StatusValue(status, "closes") == std::to_string(round); }))
            << "round " << round;
        EXPECT_EQ(StatusValue(status, "state"), "closed");
    }
    EXPECT_EQ(StatusValue(status, "opens"), "3");
    EXPECT_EQ(StatusValue(status, "sessions"), "3");
    EXPECT_EQ(stop(), 0);
}

TEST_F(KeystrandSimTool, FaultGivenOnTheCommandLine) {
    start({"--fault", "xoff@row=1:wrong=Z", "--fault", "version:extra-lf"});
    Port port;
    ASSERT_TRUE(port.open(link));
    ASSERT_TRUE(port.write(kRequest));
    EXPECT_EQ(port.read(16), std::string("KYST-SM-2.10\r\n?") + sim::kXon);
    ASSERT_TRUE(port.write(kRow1));
    EXPECT_EQ(port.read(3), std::string("Z~") + sim::kXon);
    port.close();
    EXPECT_EQ(stop(), 0);
    const std::string text = ReadWholeFile(log);
    EXPECT_NE(text.find("fault xoff@row=1:wrong=Z"), std::string::npos) << text;
}

TEST_F(KeystrandSimTool, HangupReplacesTheLineUnderTheSameLink) {
    start({"--fault", "row=1:hangup:once"});
    Port port;
    ASSERT_TRUE(port.open(link));
    ASSERT_TRUE(port.write(kRequest));
    ASSERT_EQ(port.read(15), kGreeting);
    ASSERT_TRUE(port.write(kRow1));
    EXPECT_EQ(port.read(1), "");
    EXPECT_TRUE(port.hungUp());
    port.close();
    Port again;
    ASSERT_TRUE(WaitFor([&] { return again.open(link); }));
    exchangeTwoRows(again);
    again.close();
    EXPECT_EQ(stop(), 0);
    EXPECT_FALSE(simtool::Exists(link));
}

TEST_F(KeystrandSimTool, RawImageAndSigint) {
    start({"--image-format", "raw"});
    Port port;
    ASSERT_TRUE(port.open(link));
    exchangeTwoRows(port);
    port.close();
    EXPECT_EQ(stop(SIGINT), 0);
    EXPECT_EQ(ReadWholeFile(image), std::string("\x02\x33\x7A", 3));
    EXPECT_FALSE(simtool::Exists(link));
}

TEST_F(KeystrandSimTool, EndsByItselfAtItsTimeLimit) {
    start({"--max-seconds", "1"});
    EXPECT_EQ(child.wait(), 0);
    EXPECT_FALSE(simtool::Exists(link));
}

TEST_F(KeystrandSimTool, ReplacesAnOldLinkButNeverAnotherFile) {
    ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0);
    start();
    EXPECT_EQ(stop(), 0);
    dir.write("COM3", "a regular file");
    Child other;
    ASSERT_TRUE(other.start({tool, "--link", link, "--quiet"}, dir.path("out2"), dir.path("err2")));
    EXPECT_EQ(other.wait(), 1);
    EXPECT_EQ(ReadWholeFile(link), "a regular file");
    EXPECT_NE(ReadWholeFile(dir.path("err2")).find("not a symbolic link"), std::string::npos);
}

TEST_F(KeystrandSimTool, HelpAndBadOptions) {
    Child help;
    ASSERT_TRUE(help.start({tool, "--help"}, dir.path("out"), dir.path("err")));
    EXPECT_EQ(help.wait(), 0);
    const std::string text = ReadWholeFile(dir.path("out"));
    for (const char* option :
         {"--link", "--mode", "--fault", "--baud", "--log", "--image-out", "--image-format",
          "--status-file", "--quiet", "--help", "--max-seconds", "xoff@row=5:wrong=Z"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"--fault", "xoff:explode"},
                                               {"--mode", "sleep"},
                                               {"--baud", "fast"},
                                               {"--link"}}) {
        std::vector<std::string> args{tool};
        args.insert(args.end(), bad.begin(), bad.end());
        Child child2;
        ASSERT_TRUE(child2.start(args, dir.path("out"), dir.path("err")));
        EXPECT_EQ(child2.wait(), 2) << bad[0];
        EXPECT_FALSE(ReadWholeFile(dir.path("err")).empty()) << bad[0];
    }
}

TEST_F(KeystrandSimTool, PacedOutputTakesItsTime) {
    start({"--baud", "1200"}); // 8.3 ms per character: the greeting takes 125 ms
    Port port;
    ASSERT_TRUE(port.open(link));
    const auto before = simtool::Clock::now();
    ASSERT_TRUE(port.write(kRequest));
    EXPECT_EQ(port.read(15), kGreeting);
    EXPECT_GE(simtool::Clock::now() - before, std::chrono::milliseconds(120));
    port.close();
    EXPECT_EQ(stop(), 0);
}

} // namespace

// The console says only what it knows, through the built program against keystrand-sim: it sends
// the package it checked, whatever becomes of the file meanwhile; it never calls a device's
// firmware incomplete before a boot loader has answered; no byte of a hostile name reaches its
// output raw.
#include <chrono>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "integration/console/ConsoleTestSupport.h"
#include "integration/console/ConsoleToolSupport.h"
#include "integration/sim/ToolProcess.h"
#include "sim/HexImage.h"

namespace {

using consoletest::Child;
using consoletest::ConsoleTool;
using consoletest::HexFile;
using consoletest::ReadWholeFile;
using consoletest::WaitFor;
using simtool::StatusValue;

// Another build of the same layout: the same rows and addresses, other data.
std::string OtherBuild(int dataRows) {
    std::string text;
    for (int r = 0; r < dataRows; ++r) {
        const std::vector<std::uint8_t> data(16, static_cast<std::uint8_t>(0xA0 + r));
        text += sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

TEST_F(ConsoleTool, AFileRewrittenDuringTheUpdateChangesNothingThatIsSent) {
    writePackage(HexFile(40));
    const std::string first = hexText;
    Device d;
    // Paced, so that the update is still sending when the file is rewritten.
    startDevice(d, dir.path("line"), {"--baud", "9600"});
    Child program;
    ASSERT_TRUE(
        start(program, {"--package", pkg(), "--port", d.link, "--trace", dir.path("trace.log")}));
    ASSERT_TRUE(WaitFor([&] { return StatusValue(d.status, "rows_accepted") == "5"; }));
    dir.write("pkg/firmware.hex", OtherBuild(40)); // a build finishing into the package folder
    ASSERT_EQ(finish(program), 0) << out << err;
    EXPECT_NE(out.find("The Keystrand SM firmware has been successfully updated.\n"),
              std::string::npos);
    EXPECT_TRUE(std::regex_search(out, std::regex("The HEX file \"" + pkg() +
                                                  "/firmware\\.hex\" changed on disk while the "
                                                  "update ran\\. What was sent is the file as it "
                                                  "was read and checked before the update began "
                                                  "\\(SHA-256 [0-9a-f]{64}\\)\\.\n")))
        << out;
    ASSERT_EQ(stopDevice(d), 0);
    hexText = first;
    expectImageEqualsFile(d); // the first build, whole: not a row of the second
    const std::string log = ReadWholeFile(dir.path("trace.log"));
    std::smatch sha;
    ASSERT_TRUE(std::regex_search(log, sha, std::regex("SHA-256 ([0-9a-f]{64})"))) << log;
    EXPECT_NE(out.find(sha[1].str()), std::string::npos) << "the trace names what was sent";
}

TEST_F(ConsoleTool, TwoUpdatesAndACheckShareOnePackageFolder) {
    writePackage(HexFile(30));
    Device slow;
    Device other;
    startDevice(slow, dir.path("line1"), {"--baud", "9600"});
    startDevice(other, dir.path("line2"));
    Child first;
    ASSERT_TRUE(first.start({updater, "--package", pkg(), "--port", slow.link},
                            dir.path("first.out"), dir.path("first.err")));
    ASSERT_TRUE(WaitFor([&] { return StatusValue(slow.status, "rows_accepted") == "2"; }));
    // Another technician, the same folder, while the first update sends.
    EXPECT_EQ(run({"--check", "--package", pkg()}), 0) << err;
    EXPECT_EQ(run({"--package", pkg(), "--port", other.link}), 0) << err;
    EXPECT_EQ(first.wait(std::chrono::seconds(30)), 0) << ReadWholeFile(dir.path("first.err"));
    EXPECT_EQ(StatusValue(slow.status, "rows_accepted"), "31");
    ASSERT_EQ(stopDevice(slow), 0);
    ASSERT_EQ(stopDevice(other), 0);
    expectImageEqualsFile(other);
}

TEST_F(ConsoleTool, AnApplicationFirmwareOnALineWithoutDsrIsNotCalledIncomplete) {
    writePackage(HexFile(4));
    Device d;
    startDevice(d, dir.path("line"), {"--mode", "app"});
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 6) << out << err;
    EXPECT_EQ(err, "No response from the Keystrand SM's boot loader on " + d.link +
                       ": no version reply within 3 s.\n"
                       "The device's state is not known: nothing answered the boot loader's "
                       "identification request.\n"
                       "If the device's boot loader was running and heard the request, it may "
                       "have erased its firmware: run the update again; the device stays in its "
                       "boot loader until an update succeeds.\n"
                       "The modem status of this line cannot be read, so the boot loader was "
                       "assumed to be running. If the device runs its application firmware, its "
                       "firmware is unchanged: use a cable that carries DSR, so that it can be "
                       "told to restart into its boot loader.\n"
                       "If nothing is there, check that the device is powered and connected to " +
                       d.link + ".\n");
    EXPECT_EQ(err.find("The firmware is incomplete"), std::string::npos);

    // Stopped in the same wait: the same, with no claim either.
    Child program;
    ASSERT_TRUE(start(program, {"--package", pkg(), "--port", d.link}));
    ASSERT_TRUE(WaitFor([&] { return StatusValue(d.status, "opens") == "2"; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    program.signal(SIGINT);
    EXPECT_EQ(finish(program), 130) << out << err;
    EXPECT_EQ(err.rfind("Stopped by Ctrl-C (SIGINT) while waiting for the boot loader's version.\n"
                        "The device's state is not known: nothing answered",
                        0),
              0u)
        << err;
    EXPECT_EQ(err.find("The firmware is incomplete"), std::string::npos);
    ASSERT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "mode"), "app") << "the application firmware still runs";
    EXPECT_EQ(StatusValue(d.status, "rows_accepted"), "0");
}

TEST_F(ConsoleTool, AHostileFileNameNeverReachesTheTraceOrTheScreenRaw) {
    const std::string hostile = "fw\x1b[31m.hex";
    writePackage(HexFile(3), hostile);
    Device d;
    startDevice(d, dir.path("line"));
    ASSERT_EQ(run({"--package", pkg(), "--port", d.link, "--trace", dir.path("trace.log")}), 0)
        << out << err;
    const std::string log = ReadWholeFile(dir.path("trace.log"));
    EXPECT_NE(log.find("# HEX file " + pkg() + "/fw\\x1B[31m.hex, "), std::string::npos) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_NE(out.find("HEX file \"fw\\x1B[31m.hex\""), std::string::npos) << out;
    ASSERT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, ATraceAskedForIsWrittenWhenThePackageCannotBeUsed) {
    Device d;
    startDevice(d, dir.path("line"));
    const std::string trace = dir.path("trace.log");
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link, "--trace", trace}), 3);
    const std::string log = ReadWholeFile(trace);
    EXPECT_NE(log.find("\n# port " + d.link), std::string::npos) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("\n# outcome: keystrand-update: cannot read the "
                                                  "firmware description file .* no such file\\. "
                                                  "\\(exit code 3\\)\n$")))
        << log;
    ASSERT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "opens"), "0");
}

TEST_F(ConsoleTool, WhereTheLocaleHasNoEllipsisThreeDotsStandForIt) {
    writePackage(HexFile(4));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "ready:dead"});
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 6);
    EXPECT_NE(out.find("\nwaiting for the device...\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\xE2"), std::string::npos);
    ASSERT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, TheHelpFitsEightyColumns) {
    ASSERT_EQ(run({"--help"}), 0);
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        EXPECT_LE(consoletest::Columns(out.substr(at, end - at)), 79u) << out.substr(at, end - at);
        at = end + 1;
    }
}

} // namespace

// The road every device from the field takes, walked by the built keystrand-update under
// keystrand-modem-lines against keystrand-sim in its application firmware: DSR read, "<V", the
// identity, "<W", DSR dropping, 115200 baud; its entry failures; four devices at once; and
// --identify, which asks the application firmware alone and changes nothing.
#include <pty.h>
#include <regex>

#include <gtest/gtest.h>

#include "integration/console/ConsoleTestSupport.h"
#include "integration/console/ConsoleToolSupport.h"
#include "integration/sim/ToolProcess.h"

namespace {

using consoletest::ConsoleTool;
using consoletest::Field;
using consoletest::HexFile;
using consoletest::kNoModemStatus;
using consoletest::Lines;
using simtool::Child;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

const char* const kDsrOn =
    "DSR is on: the application firmware runs; asking it to restart into its boot loader.\n";

class ApplicationRoad : public ConsoleTool {
protected:
    void SetUp() override {
        ConsoleTool::SetUp();
        launcher = simtool::ModemLinesPath();
        ASSERT_EQ(::access(launcher.c_str(), X_OK), 0) << "not built: " << launcher;
        ::unsetenv("LD_PRELOAD");
        // A sanitized build's run-time need not come before the preloaded library.
        ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        report = dir.path("records.jsonl");
    }

    // A device in its application firmware with that serial and further options.
    void startApplication(Device& d, const std::string& name, const std::string& serial,
                          std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--mode", "app",   "--serial",
                                         serial,   "--log", dir.path(name + ".log")};
        args.insert(args.end(), extra.begin(), extra.end());
        startDevice(d, dir.path(name), args);
    }

    // keystrand-update under keystrand-modem-lines; its exit code, output in out and err.
    int runWithModemLines(std::vector<std::string> args) {
        args.insert(args.begin(), {launcher, updater});
        Child program;
        if (!program.start(args, dir.path("update.out"), dir.path("update.err"))) {
            return -2;
        }
        return finish(program);
    }

    std::vector<std::string> records() { return Lines(ReadWholeFile(report)); }

    std::string launcher, report;
};

TEST_F(ApplicationRoad, ADeviceFromTheFieldIsUpdatedThroughItsApplicationFirmware) {
    writePackage(HexFile(40));
    Device d;
    startApplication(d, "line", "654321");
    const std::string trace = dir.path("trace.log");
    ASSERT_EQ(runWithModemLines(
                  {"--package", pkg(), "--port", d.link, "--report", report, "--trace", trace}),
              0)
        << out << err;
    EXPECT_NE(out.find(kDsrOn), std::string::npos) << out;
    EXPECT_EQ(out.find(kNoModemStatus), std::string::npos) << out;
    EXPECT_EQ(err, "");
    ASSERT_EQ(stopDevice(d), 0);
    expectImageEqualsFile(d);

    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(Field(records()[0], "device_serial"), "\"654321\"");
    EXPECT_EQ(Field(records()[0], "outcome"), "\"updated\"");

    // The trace: DSR on, the identity, "<W", DSR off, each with its time, then the new speed.
    const std::string log = ReadWholeFile(trace);
    const std::regex road(" +[0-9]+\\.[0-9]{3} dsr on\n"
                          " +[0-9]+\\.[0-9]{3} tx \"<V\"\n"
                          " +[0-9]+\\.[0-9]{3} rx \"\\\\rKYST-SM-00,654321\"\n"
                          " +[0-9]+\\.[0-9]{3} tx \"<W\"\n"
                          " +[0-9]+\\.[0-9]{3} dsr off\n"
                          " +[0-9]+\\.[0-9]{3} speed 115200\n");
    EXPECT_TRUE(std::regex_search(log, road)) << log;

    // The device's side: the program's DTR and RTS up while it talked, dropped as it closed.
    const std::string device = ReadWholeFile(dir.path("line.log"));
    EXPECT_TRUE(simtool::InOrder(device, {"-- DTR on, RTS on\n",
                                          "-- restarted into the boot loader, DSR off\n",
                                          "-- DTR off, RTS off\n"}))
        << device;
}

TEST_F(ApplicationRoad, TheTwoEntryFailuresEndWithExitCodeFiveAndTheDevicesState) {
    writePackage(HexFile(4));
    Device silent;
    startApplication(silent, "silent", "100001", {"--fault", "identity:none"});
    EXPECT_EQ(runWithModemLines({"--package", pkg(), "--port", silent.link, "--report", report}), 5)
        << out << err;
    EXPECT_NE(err.find("Cannot find a Keystrand SM on " + silent.link +
                       ": no valid identity reply to \"<V\" within 2 s.\n"
                       "The device's firmware is unchanged.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(StatusValue(silent.status, "mode"), "app");

    Device stubborn;
    startApplication(stubborn, "stubborn", "100002", {"--fault", "restart:keep-dsr"});
    EXPECT_EQ(runWithModemLines({"--package", pkg(), "--port", stubborn.link, "--report", report}),
              5)
        << out << err;
    EXPECT_NE(err.find("Invalid response from the Keystrand SM on " + stubborn.link +
                       ": it did not restart into its boot loader (DSR stayed on for 2 s after "
                       "\"<W\").\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(StatusValue(stubborn.status, "sessions"), "0") << "no boot loader was spoken to";

    ASSERT_EQ(records().size(), 2u);
    EXPECT_EQ(Field(records()[0], "device_state"), "\"unchanged\"");
    EXPECT_EQ(Field(records()[0], "device_serial"), "null");
    EXPECT_EQ(Field(records()[0], "exit_code"), "5");
    const std::string state = Field(records()[1], "device_state");
    EXPECT_EQ(state, "\"restart requested\"") << "neither incomplete nor updated";
    EXPECT_EQ(Field(records()[1], "device_serial"), "\"100002\"");
    EXPECT_EQ(Field(records()[1], "exit_code"), "5");
}

TEST_F(ApplicationRoad, ALateDsrIsWaitedForWithinTheWindowAndNotBeyond) {
    writePackage(HexFile(4));
    Device late;
    startApplication(late, "late", "100003", {"--fault", "dsr:delay=1000"});
    EXPECT_EQ(runWithModemLines({"--package", pkg(), "--port", late.link}), 0) << out << err;

    Device tooLate;
    startApplication(tooLate, "too-late", "100004", {"--fault", "dsr:delay=2500"});
    EXPECT_EQ(runWithModemLines({"--package", pkg(), "--port", tooLate.link}), 5) << out << err;
    EXPECT_TRUE(WaitFor([&] { return StatusValue(tooLate.status, "mode") == "boot"; }))
        << "its boot loader runs, though DSR said nothing of it in time";
}

TEST_F(ApplicationRoad, ADsrThatFlapsBeforeTheBootLoaderRunsLeadsTheProgramOnTooEarly) {
    // The first DSR off is taken for the restart, as the description of the entry says: the
    // identification request then reaches the application firmware, and the boot loader that
    // starts later never hears it.
    writePackage(HexFile(4));
    Device flapping;
    startApplication(flapping, "flapping", "100005",
                     {"--restart-ms", "1500", "--fault", "dsr:flap=50"});
    EXPECT_EQ(runWithModemLines({"--package", pkg(), "--port", flapping.link, "--report", report}),
              6)
        << out << err;
    EXPECT_NE(err.find("no version reply within 3 s"), std::string::npos) << err;
    EXPECT_EQ(StatusValue(flapping.status, "sessions"), "0");
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(Field(records()[0], "device_state"), "\"unknown\"");
    const std::string device = ReadWholeFile(dir.path("flapping.log"));
    EXPECT_LT(device.find("rx \"#&!KYST-SM35\""), device.find("-- restarted into the boot loader"))
        << device;
}

TEST_F(ApplicationRoad, FourDevicesFromTheFieldAreUpdatedAtOnce) {
    writePackage(HexFile(60));
    Device devices[4];
    std::vector<std::string> args = {"--package", pkg(), "--report", report};
    for (int i = 0; i < 4; ++i) {
        startApplication(devices[i], "line" + std::to_string(i), "20000" + std::to_string(i),
                         {"--baud", "115200"});
        args.insert(args.end(), {"--port", devices[i].link});
    }
    ASSERT_EQ(runWithModemLines(args), 0) << out << err;
    EXPECT_NE(out.find("4 of 4 devices updated; exit code 0."), std::string::npos) << out;
    const std::vector<std::string> lines = records();
    ASSERT_EQ(lines.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Field(lines[static_cast<std::size_t>(i)], "port"), "\"" + devices[i].link + "\"");
        EXPECT_EQ(Field(lines[static_cast<std::size_t>(i)], "device_serial"),
                  "\"20000" + std::to_string(i) + "\"");
        ASSERT_EQ(stopDevice(devices[i]), 0);
        expectImageEqualsFile(devices[i]);
    }
}

TEST_F(ApplicationRoad, IdentifyNamesTheDeviceAndLeavesItAsItWas) {
    Device d;
    startApplication(d, "line", "777001");
    ASSERT_EQ(runWithModemLines({"--identify", "--port", d.link}), 0) << out << err;
    EXPECT_EQ(out, d.link + ": DSR on: application firmware, serial 777001.\n");
    EXPECT_TRUE(WaitFor([&] { return StatusValue(d.status, "state") == "closed"; }));
    EXPECT_EQ(StatusValue(d.status, "mode"), "app");
    EXPECT_EQ(StatusValue(d.status, "sessions"), "0");
    EXPECT_EQ(ReadWholeFile(settings), "") << "the remembered port is left alone";
    const std::string device = ReadWholeFile(dir.path("line.log"));
    EXPECT_NE(device.find("rx \"<V\"\n"), std::string::npos) << device;
    EXPECT_EQ(device.find("<W"), std::string::npos) << device;
}

TEST_F(ApplicationRoad, IdentifyTellsEachPortWhatAnsweredWithOneRecordEach) {
    Device app, boot, cable, silent;
    startApplication(app, "app", "300001");
    startDevice(boot, dir.path("boot"), {"--mode", "boot", "--log", dir.path("boot.log")});
    startApplication(cable, "cable", "300003", {"--fault", "dsr:off"});
    startApplication(silent, "silent", "300004", {"--fault", "identity:none"});
    int master = -1;
    int slave = -1;
    char plain[256] = {}; // a terminal that no simulated device serves
    ASSERT_EQ(::openpty(&master, &slave, plain, nullptr, nullptr), 0);
    ::close(slave); // a line another program holds is not opened
    ASSERT_EQ(
        runWithModemLines({"--identify", "--port", app.link, "--port", boot.link, "--port",
                           cable.link, "--port", silent.link, "--port", plain, "--report", report}),
        0)
        << out << err;
    EXPECT_EQ(out,
              app.link + ": DSR on: application firmware, serial 300001.\n" + boot.link +
                  ": DSR off: a boot loader, or a cable without DSR; not asked.\n" + cable.link +
                  ": DSR off: a boot loader, or a cable without DSR; not asked.\n" + silent.link +
                  ": DSR on, but nothing answered \"<V\" within 2 s.\n" + plain +
                  ": the modem status of this line cannot be read (no DSR): not " + "asked.\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(ReadWholeFile(dir.path("boot.log")).find("] rx "), std::string::npos)
        << "nothing at all was sent to the boot loader";
    const std::vector<std::string> lines = records();
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) {
        EXPECT_EQ(Field(line, "outcome"), "\"identified\"") << line;
        EXPECT_EQ(Field(line, "device_state"), "\"unchanged\"") << line;
        EXPECT_EQ(Field(line, "package_version"), "null") << line;
    }
    EXPECT_EQ(Field(lines[0], "device_serial"), "\"300001\"");
    EXPECT_EQ(Field(lines[3], "device_serial"), "null");
    ::close(master);
}

TEST_F(ApplicationRoad, WithoutModemLinesAPseudoTerminalTakesTheBootLoaderRoadAsBefore) {
    writePackage(HexFile(4));
    Device d;
    startApplication(d, "line", "400001");
    ASSERT_EQ(run({"--identify", "--port", d.link}), 0) << out << err;
    EXPECT_EQ(out,
              d.link + ": the modem status of this line cannot be read (no DSR): not asked.\n");
    EXPECT_EQ(StatusValue(d.status, "modem_requests"), "0");
}

} // namespace

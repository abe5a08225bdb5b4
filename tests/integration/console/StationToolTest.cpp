// keystrand-update --watch as a process, on a made-up /dev and /sys where keystrand-sim devices
// are plugged in and pulled out: each plug updated once and recorded, a device left alone while
// it stays, a stop at the end with the table and the worst exit code, the filters, a stop during
// an update, a port another program holds, a trace per update, and the live lines.
#include <algorithm>
#include <fcntl.h>

#include <gtest/gtest.h>

#include "integration/console/ConsoleToolSupport.h"

namespace {

using consoletest::Field;
using consoletest::HexFile;
using consoletest::Lines;
using consoletest::TerminalRun;
using simtool::Child;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

// Every wait for the station ends here: generous for a loaded machine, never met when it works.
constexpr auto kLimit = std::chrono::seconds(30);

class Station : public consoletest::StationTool {
protected:
    void SetUp() override {
        StationTool::SetUp();
        setUpStation("200");
        ::mkdir(dir.path("devices").c_str(), 0755);
    }

    // A device plugged in at dev/NAME; its image, status and output kept apart from dev/.
    void plug(Device& d, const std::string& name, std::vector<std::string> extra = {}) {
        startDevice(d, dir.path("dev/" + name), std::move(extra));
    }
    // Pulled out: the device ends and takes its link away.
    void unplug(Device& d) { ASSERT_EQ(stopDevice(d), 0); }

    bool startStation(Child& program, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--package", pkg(), "--watch", "--report", report};
        args.insert(args.end(), extra.begin(), extra.end());
        return start(program, args) && WaitFor([&] {
                   return ReadWholeFile(dir.path("update.out")).find("Watching") !=
                          std::string::npos;
               });
    }
    bool waitForRecords(std::size_t count) {
        return WaitFor([&] { return records().size() >= count; }, kLimit);
    }
    // The station stopped by the signal; its exit code.
    int stopStation(Child& program, int signal = SIGINT) {
        program.signal(signal);
        return finish(program, kLimit);
    }
};

TEST_F(Station, EachDevicePluggedInIsUpdatedOnceRecordedAndLeftAloneUntilPluggedAnew) {
    ::unsetenv("KEYSTRAND_UPDATE_SETTLE_MS"); // the settling time a user gets
    writePackage(HexFile(12));
    Child station;
    ASSERT_TRUE(startStation(station));

    Device first;
    plug(first, "ttyUSB0");
    ASSERT_TRUE(waitForRecords(1)) << ReadWholeFile(dir.path("update.out"));
    std::vector<std::string> r = records();
    EXPECT_EQ(Field(r[0], "port"), "\"" + dir.path("dev/ttyUSB0") + "\"");
    EXPECT_EQ(Field(r[0], "outcome"), "\"updated\"");
    ASSERT_TRUE(WaitFor([&] { return StatusValue(first.status, "file_completes") == "1"; }));
    expectImageEqualsFile(first);

    Device second;
    plug(second, "ttyUSB1", {"--fault", "row=3:reject"});
    ASSERT_TRUE(waitForRecords(2));
    r = records();
    EXPECT_EQ(Field(r[1], "port"), "\"" + dir.path("dev/ttyUSB1") + "\"");
    EXPECT_EQ(Field(r[1], "outcome"), "\"transfer\"");
    EXPECT_EQ(Field(r[1], "exit_code"), "6");

    // Both stay plugged: well past their settling time, neither is opened again.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(records().size(), 2u);
    EXPECT_EQ(StatusValue(first.status, "opens"), "1");
    EXPECT_EQ(StatusValue(second.status, "opens"), "1");

    // The first pulled out and plugged in again at the same name: updated anew.
    unplug(first);
    Device again;
    plug(again, "ttyUSB0");
    ASSERT_TRUE(waitForRecords(3));
    r = records();
    EXPECT_EQ(Field(r[2], "port"), "\"" + dir.path("dev/ttyUSB0") + "\"");
    EXPECT_EQ(Field(r[2], "outcome"), "\"updated\"");

    EXPECT_EQ(stopStation(station), 6) << out << err;
    EXPECT_EQ(records().size(), 3u);
    EXPECT_NE(out.find("Station ended by Ctrl-C (SIGINT).\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n2 of 3 devices updated; exit code 6.\n"), std::string::npos) << out;
    EXPECT_NE(err.find(dir.path("dev/ttyUSB1") + ": Firmware update failed at row 3 of 13"),
              std::string::npos)
        << err;
    EXPECT_NE(out.find(dir.path("dev/ttyUSB1") + ": Unplug the device and plug it in again to "
                                                 "retry.\n"),
              std::string::npos)
        << out;
    // Every line of a port begins with it.
    for (const std::string& line : Lines(out + err)) {
        if (line.find(": ") != std::string::npos && line.rfind(dir.path("dev/"), 0) != 0 &&
            line.rfind("Firmware version", 0) != 0 && line.rfind("Watching", 0) != 0) {
            ADD_FAILURE() << "a line without its port: " << line;
        }
    }
    ASSERT_EQ(stopDevice(second), 0);
    ASSERT_EQ(stopDevice(again), 0);
}

TEST_F(Station, OnlyThePortsThatPassAFilterAreListedChosenOrWatched) {
    writePackage(HexFile(4));
    // ttyUSB0 is an FTDI adapter, ttyUSB1 a Silicon Labs one, as sysfs tells.
    const std::pair<const char*, const char*> adapters[] = {{"ttyUSB0", "0403"},
                                                            {"ttyUSB1", "10c4"}};
    for (const auto& a : adapters) {
        const std::string usb = dir.path(std::string("devices/") + a.first);
        ::mkdir(usb.c_str(), 0755);
        ::mkdir((usb + "/if0").c_str(), 0755);
        dir.write(std::string("devices/") + a.first + "/idVendor", std::string(a.second) + "\n");
        dir.write(std::string("devices/") + a.first + "/idProduct", "6001\n");
        ::mkdir(dir.path("sys/class").c_str(), 0755);
        ::mkdir(dir.path("sys/class/tty").c_str(), 0755);
        ::mkdir(dir.path(std::string("sys/class/tty/") + a.first).c_str(), 0755);
        ::symlink((usb + "/if0").c_str(),
                  dir.path(std::string("sys/class/tty/") + a.first + "/device").c_str());
    }
    Device ftdi;
    Device other;
    plug(ftdi, "ttyUSB0");
    plug(other, "ttyUSB1");

    ASSERT_EQ(run({"--list-ports", "--port-filter", "vid=0403"}), 0) << err;
    EXPECT_NE(out.find(dir.path("dev/ttyUSB0") + "  (0403:6001)"), std::string::npos) << out;
    EXPECT_EQ(out.find("ttyUSB1"), std::string::npos) << out;
    ASSERT_EQ(run({"--list-ports", "--port-filter", "serial=none"}), 0) << err;
    EXPECT_NE(out.find("No serial port passes --port-filter serial=none."), std::string::npos)
        << out;
    ASSERT_EQ(run({"--package", pkg(), "--all-ports", "--port-filter", "vid=10c4"}), 0) << err;
    EXPECT_NE(out.find("1 of 1 device updated; exit code 0."), std::string::npos) << out;
    EXPECT_EQ(StatusValue(ftdi.status, "opens"), "0");
    EXPECT_EQ(StatusValue(other.status, "opens"), "1");
    EXPECT_EQ(run({"--package", pkg(), "--all-ports", "--port-filter", "vid=1234"}), 4);
    EXPECT_NE(err.find("No serial port passes --port-filter vid=1234"), std::string::npos) << err;

    // The station with a filter: the Silicon Labs adapter is never touched.
    Child station;
    ASSERT_TRUE(startStation(station, {"--port-filter", "vid=0403,pid=6001"}));
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(Field(records()[0], "port"), "\"" + dir.path("dev/ttyUSB0") + "\"");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(stopStation(station, SIGTERM), 0) << out << err;
    EXPECT_EQ(records().size(), 1u);
    EXPECT_EQ(StatusValue(other.status, "opens"), "1") << "only the update with --all-ports";
    EXPECT_NE(out.find("Watching the serial ports that pass --port-filter vid=0403,pid=6001"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Station ended by SIGTERM."), std::string::npos) << out;
}

TEST_F(Station, AStopDuringAnUpdateStopsItSaysWhereItStoodAndRecordsIt) {
    writePackage(HexFile(400));
    Child station;
    ASSERT_TRUE(startStation(station));
    Device slow;
    plug(slow, "ttyACM0", {"--baud", "2400"});
    ASSERT_TRUE(WaitFor(
        [&] {
            return StatusValue(slow.status, "rows_accepted") != "0" &&
                   !StatusValue(slow.status, "rows_accepted").empty();
        },
        kLimit));
    EXPECT_EQ(stopStation(station, SIGTERM), 143) << out << err;
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(Field(records()[0], "outcome"), "\"stopped\"");
    EXPECT_NE(err.find(dir.path("dev/ttyACM0") + ": Stopped by SIGTERM "), std::string::npos)
        << err;
    EXPECT_NE(out.find("0 of 1 device updated; exit code 143."), std::string::npos) << out;
}

TEST_F(Station, APortThatCannotBeOpenedIsToldOnceAndTriedAgainOnlyWhenPluggedAnew) {
    writePackage(HexFile(4));
    Device held;
    plug(held, "ttyUSB3");
    // Another program holds the line open: the station's update cannot begin.
    const int other = ::open(held.link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    Child station;
    ASSERT_TRUE(startStation(station, {"--trace", dir.path("traces")}));
    ASSERT_TRUE(waitForRecords(1));
    EXPECT_EQ(Field(records()[0], "outcome"), "\"port\"");
    ::close(other);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(records().size(), 1u) << "not tried again while it stays plugged";
    EXPECT_EQ(StatusValue(held.status, "opens"), "1") << "only the other program's open";

    unplug(held);
    Device again;
    plug(again, "ttyUSB3");
    ASSERT_TRUE(waitForRecords(2));
    EXPECT_EQ(Field(records()[1], "outcome"), "\"updated\"");
    EXPECT_EQ(stopStation(station), 4) << out << err;
    EXPECT_NE(err.find(dir.path("dev/ttyUSB3") + ": "), std::string::npos) << err;
    EXPECT_NE(err.find("held open by"), std::string::npos) << err;
    // One trace per update, the second beside the first.
    std::vector<std::string> traces;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path("traces"))) {
        traces.push_back(ReadWholeFile(entry.path().string()));
        EXPECT_EQ(entry.path().filename().string().rfind("trace-ttyUSB3-", 0), 0u) << entry.path();
    }
    ASSERT_EQ(traces.size(), 2u);
    std::sort(traces.begin(), traces.end(), [](const std::string& a, const std::string& b) {
        return a.find("(exit code 0)") < b.find("(exit code 0)");
    });
    EXPECT_EQ(std::count_if(traces.begin(), traces.end(),
                            [](const std::string& t) {
                                return t.find("# outcome: The Keystrand SM firmware has been "
                                              "successfully updated. (exit code 0)") !=
                                       std::string::npos;
                            }),
              1);
    EXPECT_EQ(std::count_if(traces.begin(), traces.end(),
                            [](const std::string& t) {
                                return t.find("(exit code 4)") != std::string::npos;
                            }),
              1);
    ASSERT_EQ(stopDevice(again), 0);
}

TEST_F(Station, APackageThatCannotBeSentEndsTheStationBeforeItBegins) {
    writePackage(":10000000ZZ\r\n");
    Device untouched;
    plug(untouched, "ttyUSB0");
    EXPECT_EQ(run({"--package", pkg(), "--watch", "--report", report}), 3) << out << err;
    EXPECT_NE(err.find("The station did not begin: no device was touched."), std::string::npos)
        << err;
    EXPECT_EQ(out.find("Watching"), std::string::npos) << out;
    EXPECT_EQ(StatusValue(untouched.status, "opens"), "0");
    EXPECT_FALSE(simtool::Exists(report));
}

TEST_F(Station, OnATerminalEachPortHasALineTheTotalsAreUnderThemAndAnEndRingsTheBell) {
    writePackage(HexFile(12));
    ::setenv("TERM", "xterm", 1);
    TerminalRun terminal(100);
    ASSERT_TRUE(terminal.start({updater, "--package", pkg(), "--watch", "--report", report}));
    ASSERT_TRUE(terminal.readUntil("Ctrl-C ends the station.")) << terminal.screen();
    Device d;
    plug(d, "ttyUSB0");
    ASSERT_TRUE(waitForRecords(1));
    ASSERT_TRUE(terminal.readUntil("1 updated, 0 failed")) << terminal.screen();
    terminal.signal(SIGINT);
    EXPECT_EQ(terminal.wait(), 0) << terminal.screen();
    const std::string& screen = terminal.screen();
    EXPECT_NE(screen.find("ttyUSB0  \x1b[1;7;32mupdated\x1b[0m"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Since "), std::string::npos) << screen;
    EXPECT_EQ(std::count(screen.begin(), screen.end(), '\a'), 1) << screen;
    EXPECT_NE(screen.find("1 of 1 device updated; exit code 0."), std::string::npos) << screen;
    ASSERT_EQ(stopDevice(d), 0);
}

} // namespace

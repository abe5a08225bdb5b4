// The station's pieces one by one: its options, its plan plug by plug, its lines on a terminal
// and in a pipe (the bell, the colour, the totals), its trace names and its table.
#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/run/Options.h"
#include "console/run/StationPlan.h"
#include "console/run/TraceFiles.h"
#include "console/view/PortBoard.h"
#include "console/view/PortScreen.h"
#include "console/view/PortsSummary.h"
#include "console/view/StationTotals.h"
#include "integration/console/ConsoleTestSupport.h"
#include "support/TempDir.h"

namespace {

using consoletest::Contents;
using Look = console::StationPlan::Look;

TEST(StationOptions, TheWatchRunsAloneAndTheFiltersChooseAmongThePortsPresent) {
    console::Options o;
    std::string error;
    ASSERT_TRUE(
        console::ParseOptions({"--watch", "--port-filter", "vid=0403,pid=6001",
                               "--port-filter=name=ttyACM*", "--report", "r", "--trace", "t"},
                              &o, &error))
        << error;
    EXPECT_TRUE(o.watch);
    EXPECT_FALSE(o.severalPorts());
    ASSERT_EQ(o.portFilters.size(), 2u);
    EXPECT_EQ(o.portFilters[0].text(), "vid=0403,pid=6001");
    EXPECT_EQ(o.portFilters[1].text(), "name=ttyACM*");
    ASSERT_TRUE(console::ParseOptions({"--list-ports", "--port-filter", "serial=A1"}, &o, &error))
        << error;
    ASSERT_TRUE(console::ParseOptions({"--all-ports", "--port-filter", "vid=10c4"}, &o, &error))
        << error;

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--watch", "--port", "/dev/ttyUSB0"},
         "--watch updates every port that comes: leave out --port (--port-filter chooses the "
         "ports)"},
        {{"--watch", "--all-ports"},
         "--watch and --all-ports cannot be given together: --watch updates every port that "
         "comes"},
        {{"--watch", "--list-ports"}, "--watch and --list-ports cannot be given together"},
        {{"--check", "--watch"}, "--watch and --check cannot be given together"},
        {{"--port-filter", "vid=0403"},
         "--port-filter chooses among the ports present: give it with --watch, --all-ports or "
         "--list-ports"},
        {{"--port", "/dev/ttyUSB0", "--port-filter", "vid=0403"},
         "--port-filter chooses among the ports present: give it with --watch, --all-ports or "
         "--list-ports"},
        {{"--watch", "--port-filter", "vid=xyz"},
         "--port-filter vid=xyz: a USB vendor id is up to four hex digits, such as 0403, not "
         "\"xyz\""},
        {{"--watch", "--port-filter"}, "--port-filter needs a value"},
        {{"--watch=1"}, "--watch takes no value"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(console::ParseOptions(b.first, &o, &error)) << b.second;
        EXPECT_EQ(error, b.second);
    }
    const std::string help = console::HelpText("keystrand-update");
    for (const char* text : {"--watch", "--port-filter FILTER", "Station:",
                             "KEYSTRAND_UPDATE_SETTLE_MS", "KEYSTRAND_UPDATE_SYS_DIR"}) {
        EXPECT_NE(help.find(text), std::string::npos) << text;
    }
}

TEST(StationPlan, EachPlugIsUpdatedOnceAfterItSettledAndLeftAloneUntilUnplugged) {
    console::StationPlan plan;
    EXPECT_EQ(plan.look("A"), Look::kHidden);
    plan.plugged("A", 1);
    EXPECT_EQ(plan.look("A"), Look::kWaiting);
    EXPECT_TRUE(plan.due().empty()) << "not settled yet";
    plan.settled("A", 1);
    EXPECT_EQ(plan.due(), std::vector<std::string>{"A"});
    EXPECT_TRUE(plan.due().empty()) << "handed out once";
    EXPECT_EQ(plan.look("A"), Look::kUpdating);
    EXPECT_TRUE(plan.updating());
    plan.finished("A");
    EXPECT_FALSE(plan.updating());
    EXPECT_EQ(plan.look("A"), Look::kDone);
    EXPECT_TRUE(plan.due().empty()) << "left alone while it stays plugged, whatever the outcome";
    plan.unplugged("A", 1);
    EXPECT_EQ(plan.look("A"), Look::kHidden);
    plan.plugged("A", 2);
    plan.settled("A", 2);
    EXPECT_EQ(plan.due(), std::vector<std::string>{"A"}) << "plugged anew: updated anew";
}

TEST(StationPlan, APlugThatGoesBeforeSettlingIsNotUpdatedAndOneThatComesDuringAnUpdateWaits) {
    console::StationPlan plan;
    plan.plugged("A", 1);
    plan.unplugged("A", 1);
    plan.plugged("A", 2);
    plan.settled("A", 1); // a late word about a plug that is gone changes nothing
    EXPECT_TRUE(plan.due().empty());
    plan.settled("A", 2);
    EXPECT_EQ(plan.due(), std::vector<std::string>{"A"});
    // Unplugged during its update, and plugged in again before the update noticed.
    plan.unplugged("A", 2);
    plan.plugged("A", 3);
    plan.settled("A", 3);
    EXPECT_EQ(plan.look("A"), Look::kUpdating);
    EXPECT_TRUE(plan.due().empty()) << "one update at a time through a port";
    plan.finished("A");
    EXPECT_EQ(plan.look("A"), Look::kWaiting);
    EXPECT_EQ(plan.due(), std::vector<std::string>{"A"});
    // Unplugged during its update: hidden once the update is over.
    plan.unplugged("A", 3);
    EXPECT_EQ(plan.look("A"), Look::kUpdating);
    plan.finished("A");
    EXPECT_EQ(plan.look("A"), Look::kHidden);
    // Devices plugged together are updated at once.
    plan.plugged("B", 4);
    plan.plugged("C", 5);
    plan.settled("B", 4);
    plan.settled("C", 5);
    EXPECT_EQ(plan.due(), (std::vector<std::string>{"B", "C"}));
}

console::PortSummary Ended(int exitCode, const std::string& outcome,
                           const std::string& serial = "") {
    console::PortSummary s;
    s.exitCode = exitCode;
    s.outcome = outcome;
    s.rowsSent = exitCode == 0 ? 13 : 4;
    s.totalRows = 13;
    s.elapsedMs = 800;
    s.deviceSerial = serial;
    return s;
}

TEST(StationScreen, AFinishedLineSaysHowToGoOnAndIsMarkedInColour) {
    using console::LiveLines;
    console::PortBoard::PortState state;
    state.waiting = true;
    EXPECT_EQ(LiveLines::LiveLine("/dev/ttyUSB0", state, 50, true),
              "/dev/ttyUSB0  waiting      plugged in            ");
    state.waiting = false;
    state.finished = true;
    state.summary = Ended(0, "Updated.", "123456");
    const std::string updated = LiveLines::LiveLine("/dev/ttyUSB0", state, 60, true);
    EXPECT_EQ(updated, "/dev/ttyUSB0  updated      serial 123456, 13/13 rows  0.8 s");
    EXPECT_EQ(LiveLines::Marked(updated, "/dev/ttyUSB0", state),
              "/dev/ttyUSB0  \x1b[1;7;32mupdated\x1b[0m      serial 123456, 13/13 rows  0.8 s");
    state.summary = Ended(6, "Firmware update failed at row 5 of 13.");
    const std::string failed = LiveLines::LiveLine("COM3", state, 80, true);
    EXPECT_EQ(failed, "COM3  failed       unplug to retry: Firmware update failed at row 5 of "
                      "13.     ");
    EXPECT_EQ(LiveLines::Marked(failed, "COM3", state).substr(0, 25),
              "COM3  \x1b[1;7;31mfailed\x1b[0m");
    // Several ports, not a station: the figures, as before.
    EXPECT_EQ(LiveLines::LiveLine("COM3", state, 40), "COM3  failed       4/13 rows  0.8 s    ");
    // Too narrow for the word: nothing is marked.
    EXPECT_EQ(LiveLines::Marked("COM3  fai", "COM3", state), "COM3  fai");
}

TEST(StationScreen, OnATerminalOnlyThePortsPresentAreDrawnWithTheTotalsAndABellPerEnd) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    console::LiveLines screen(out, err, [] { return 40; }, {true, true});
    console::PortBoard board({});
    const std::size_t a = board.add("COM1");
    const std::size_t b = board.add("COM22");
    board.setFooter("Since 16:40: 0 updated\nNote: looking every 500 ms.");
    screen.show(board.take());
    EXPECT_EQ(Contents(out), "Since 16:40: 0 updated                 \n"
                             "Note: looking every 500 ms.            \n")
        << "no port is plugged in";
    board.waiting(a);
    board.waiting(b);
    screen.show(board.take());
    board.begin(a);
    screen.show(board.take());
    board.finished(a, Ended(0, "Updated."), {"Updated."});
    screen.show(board.take());
    screen.show(board.take()); // nothing new: nothing drawn, no second bell
    board.hide(b);
    screen.show(board.take());
    const std::string shown = Contents(out);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\a'), 1) << "one bell for one update";
    EXPECT_NE(shown.find("COM1   waiting      plugged in"), std::string::npos) << shown;
    EXPECT_NE(shown.find("COM1:  Updated.\n"), std::string::npos) << shown;
    // The last drawing: back over the three lines, erased below, COM22 gone.
    const std::string last = shown.substr(shown.rfind("\x1b[4A"));
    EXPECT_EQ(last, "\x1b[4A\r\x1b[J"
                    "COM1  \x1b[1;7;32mupdated\x1b[0m      13/13 rows  0.8 s   \n"
                    "Since 16:40: 0 updated                 \n"
                    "Note: looking every 500 ms.            \n")
        << shown;

    // Plugged in anew: waiting again, the last plug's outcome gone from its line.
    board.waiting(a);
    screen.show(board.take());
    const std::string again = Contents(out);
    EXPECT_EQ(again.substr(again.rfind("\x1b[3A")), "\x1b[3A\r"
                                                    "COM1  waiting      plugged in          \n"
                                                    "Since 16:40: 0 updated                 \n"
                                                    "Note: looking every 500 ms.            \n")
        << again;
    std::fclose(out);
    std::fclose(err);
}

TEST(StationScreen, APipeGetsNoBellAndATerminalWithoutCursorMovementOne) {
    for (const bool terminal : {false, true}) {
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        console::PrefixedLines screen(out, out, [] { return 0; }, {true, terminal});
        console::PortBoard board({"/dev/ttyUSB0"});
        board.finished(0, Ended(6, "Failed."), {"Failed."});
        screen.show(board.take());
        screen.show(board.take());
        EXPECT_EQ(Contents(out),
                  terminal ? "/dev/ttyUSB0: Failed.\n\a" : "/dev/ttyUSB0: Failed.\n");
        std::fclose(out);
    }
}

TEST(StationTotals, TheCountsAndOnceAMinuteHasPassedTheDevicesPerHour) {
    EXPECT_EQ(console::StationTotals("16:40", 0, 0, 1000),
              "Since 16:40: 0 updated, 0 failed. Ctrl-C ends the station.");
    EXPECT_EQ(console::StationTotals("16:40", 3, 1, 59999),
              "Since 16:40: 3 updated, 1 failed. Ctrl-C ends the station.");
    EXPECT_EQ(console::StationTotals("08:00", 40, 2, 30 * 60000),
              "Since 08:00: 40 updated, 2 failed, 84 devices per hour. Ctrl-C ends the station.");
}

TEST(StationTable, UpdatesBeyondWhatTheTableKeepsAreCountedInItsLastLine) {
    console::EarlierUpdates earlier;
    earlier.count = 3;
    earlier.updated = 2;
    earlier.worstExitCode = 5;
    console::PortSummary s = Ended(0, "Updated.");
    s.name = "COM1";
    EXPECT_EQ(console::SummaryTable({s}, 0, earlier),
              (std::vector<std::string>{
                  "The first 3 updates are in the records only:", "Port  Rows   Time   Outcome",
                  "COM1  13/13  0.8 s  Updated.", "3 of 4 devices updated; exit code 5."}));
}

TEST(StationTraces, EachUpdatesTraceIsNamedByItsPortAndTimeAndNeverWrittenOver) {
    TempDir dir;
    const std::time_t when = 1796661630; // 2026-12-07 16:40:30 UTC
    const std::string first = console::DatedTraceName(dir.dir(), "/dev/serial/by-id/usb x", when);
    EXPECT_EQ(first, dir.path("trace-usb_x-20261207-164030.log"));
    dir.write("trace-usb_x-20261207-164030.log", "an earlier update's trace");
    EXPECT_EQ(console::DatedTraceName(dir.dir(), "/dev/serial/by-id/usb x", when),
              dir.path("trace-usb_x-20261207-164030-2.log"));
    EXPECT_EQ(console::DatedTraceName(dir.dir(), "COM17", when),
              dir.path("trace-COM17-20261207-164030.log"));
    // The folder: made when missing, taken when there, refused when a file has its name.
    EXPECT_TRUE(console::MakeTraceFolder(dir.path("traces")));
    EXPECT_TRUE(console::MakeTraceFolder(dir.path("traces")));
    errno = 0;
    EXPECT_FALSE(console::MakeTraceFolder(dir.path("trace-usb_x-20261207-164030.log")));
    EXPECT_EQ(errno, ENOTDIR);
}

} // namespace

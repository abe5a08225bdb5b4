// keystrand-update on several ports at once, as a process against several keystrand-sim devices
// on ptys: each device's update told whole and apart, failures that stay with their device, the
// worst exit code, Ctrl-C with four running, and the live lines on a terminal.
#include <cstring>
#include <regex>

#include <sys/file.h>

#include <gtest/gtest.h>

#include "integration/console/ConsoleToolSupport.h"

namespace {

using consoletest::ConsoleTool;
using consoletest::HexFile;
using consoletest::kIncomplete;
using consoletest::Lines;
using consoletest::TerminalRun;
using consoletest::WithoutTimes;
using simtool::Child;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

const char* const kUpdated = "The Keystrand SM firmware has been successfully updated.";

// The texts of the lines that begin with the port's prefix ("name: ", padded), in order.
std::vector<std::string> LinesOf(const std::string& text, const std::string& prefix) {
    std::vector<std::string> texts;
    for (const std::string& line : Lines(text)) {
        if (line.rfind(prefix, 0) == 0) {
            texts.push_back(line.substr(prefix.size()));
        }
    }
    return texts;
}

// A line of the table cut at its runs of blanks: port, rows, time, outcome.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    const std::regex gap(" {2,}");
    std::sregex_token_iterator it(line.begin(), line.end(), gap, -1);
    for (; it != std::sregex_token_iterator(); ++it) {
        cells.push_back(it->str());
    }
    if (cells.size() == 4 && std::regex_match(cells[2], std::regex("[0-9]+\\.[0-9] s"))) {
        cells[2] = "T";
    }
    return cells;
}

// The table's rows after its header, and its last line.
std::vector<std::vector<std::string>> TableRows(const std::string& out) {
    const std::vector<std::string> lines = Lines(out);
    std::vector<std::vector<std::string>> rows;
    bool inTable = false;
    for (const std::string& line : lines) {
        if (inTable) {
            rows.push_back(Cells(line));
        }
        inTable = inTable || line.rfind("Port  ", 0) == 0;
    }
    return rows;
}

// The screen a terminal shows after the text: carriage return, line feed, cursor up (ESC [ n A)
// and erase below (ESC [ J) carried out; any other escape sequence is kept, to be seen.
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> rows(1);
    std::size_t row = 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::smatch m;
        const std::string rest = text.substr(i, 16);
        if (c == '\x1b' && std::regex_search(rest, m, std::regex("^\x1b\\[([0-9]*)([AJ])"))) {
            if (m[2] == "A") {
                row -= std::min(row, static_cast<std::size_t>(std::stoi("0" + m[1].str())));
            } else {
                rows.resize(row + 1);
                rows[row].resize(std::min(rows[row].size(), column));
            }
            i += m[0].length() - 1;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            column = 0;
            if (++row == rows.size()) {
                rows.emplace_back();
            }
        } else {
            std::string& r = rows[row];
            if (r.size() <= column) {
                r.resize(column + 1, ' ');
            }
            r[column++] = c;
        }
    }
    return rows;
}

class SeveralPorts : public ConsoleTool {
protected:
    // Starts the devices at line1, line2... with their faults ("" for none).
    void startDevices(std::vector<Device>& devices, const std::vector<std::string>& faults) {
        devices = std::vector<Device>(faults.size());
        for (std::size_t i = 0; i < faults.size(); ++i) {
            std::vector<std::string> extra;
            if (!faults[i].empty()) {
                extra = {"--fault", faults[i]};
            }
            startDevice(devices[i], dir.path("line" + std::to_string(i + 1)), extra);
        }
    }
    std::vector<std::string> portArgs(const std::vector<std::string>& ports) const {
        std::vector<std::string> args = {"--package", pkg()};
        for (const std::string& p : ports) {
            args.insert(args.end(), {"--port", p});
        }
        return args;
    }
    std::vector<std::string> linksOf(const std::vector<Device>& devices) const {
        std::vector<std::string> links;
        for (const Device& d : devices) {
            links.push_back(d.link);
        }
        return links;
    }
    // All ports' names have the same length here: the prefix is the name and ": ".
    static std::string Prefix(const std::string& name) { return name + ": "; }
};

TEST_F(SeveralPorts, EachDeviceIsUpdatedAsAloneItsLinesWholeAndApartThePortNotRemembered) {
    writePackage(HexFile(12));
    std::vector<Device> devices;
    startDevices(devices, {"", "", ""});
    // One device alone, for the lines an update says; it remembers its port.
    ASSERT_EQ(run({"--package", pkg(), "--port", devices[0].link}), 0) << out << err;
    std::vector<std::string> alone = Lines(WithoutTimes(out));
    ASSERT_GT(alone.size(), 2u);
    alone.erase(alone.begin(), alone.begin() + 2); // the package and "Updating ... through"
    const std::string remembered = ReadWholeFile(settings);
    ASSERT_EQ(remembered, "[Settings]\nPort=" + devices[0].link + "\n");

    std::vector<std::string> args = portArgs(linksOf(devices));
    args.insert(args.end(), {"--trace", dir.path("traces")});
    ASSERT_EQ(run(args), 0) << out << err;
    EXPECT_EQ(err, "");
    const std::vector<std::string> lines = Lines(WithoutTimes(out));
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Firmware version \"2.10\", HEX file \"firmware.hex\"");
    EXPECT_EQ(lines[1], "Updating 3 Keystrand SM devices at once: " + devices[0].link + ", " +
                            devices[1].link + ", " + devices[2].link);
    std::size_t portLines = 0;
    for (const Device& d : devices) {
        const std::vector<std::string> own = LinesOf(WithoutTimes(out), Prefix(d.link));
        EXPECT_EQ(own, alone) << d.link;
        portLines += own.size();
    }
    // Nothing else but the two lines above, a blank line and the table: no line was broken.
    EXPECT_EQ(lines.size(), 2 + portLines + 1 + 5) << out;
    const std::vector<std::vector<std::string>> table = TableRows(out);
    ASSERT_EQ(table.size(), 4u) << out;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(table[i], (std::vector<std::string>{devices[i].link, "13/13", "T", kUpdated}));
    }
    EXPECT_EQ(table[3], std::vector<std::string>{"3 of 3 devices updated; exit code 0."});
    EXPECT_EQ(ReadWholeFile(settings), remembered) << "a run on several ports remembers none";

    for (std::size_t i = 0; i < devices.size(); ++i) {
        ASSERT_EQ(stopDevice(devices[i]), 0);
        EXPECT_EQ(StatusValue(devices[i].status, "file_completes"), i == 0 ? "2" : "1");
        expectImageEqualsFile(devices[i]);
        // One log per port, named after it, each with its own port and outcome.
        const std::string log =
            ReadWholeFile(dir.path("traces/trace-line" + std::to_string(i + 1) + ".log"));
        EXPECT_NE(log.find("\n# port " + devices[i].link + " = /dev/pts/"), std::string::npos)
            << log;
        EXPECT_NE(log.find(" tx row 13 \":00000001FF\"\n"), std::string::npos) << log;
        EXPECT_TRUE(std::regex_search(log, std::regex("# outcome: The Keystrand SM firmware has "
                                                      "been successfully updated\\. \\(exit "
                                                      "code 0\\)\n$")))
            << log;
    }
}

TEST_F(SeveralPorts, MixedFaultsAreEachToldExactlyTheOthersSucceedAndTheExitCodeIsTheWorst) {
    writePackage(HexFile(12));
    std::vector<Device> devices;
    // Healthy; never ready; refusing row 5; unplugged at row 8.
    startDevices(devices, {"", "ready:dead", "row=5:reject", "row=8:hangup"});
    std::vector<std::string> ports = linksOf(devices);
    const std::string gone = dir.path("line5"); // no device there at all
    ports.push_back(gone);
    ASSERT_EQ(run(portArgs(ports)), 6) << out << err;

    EXPECT_EQ(LinesOf(out, Prefix(devices[0].link)).back(), kUpdated);
    EXPECT_EQ(LinesOf(err, Prefix(devices[0].link)), std::vector<std::string>{});
    const std::string incomplete(kIncomplete, std::string(kIncomplete).size() - 1);
    EXPECT_EQ(LinesOf(err, Prefix(devices[1].link)),
              (std::vector<std::string>{
                  "Firmware update failed before the first row: the Keystrand SM did not send "
                  "the ready character \"?\" (0x3F) within 2 s.",
                  incomplete}));
    EXPECT_EQ(LinesOf(err, Prefix(devices[2].link)),
              (std::vector<std::string>{"Firmware update failed at row 5 of 13: the Keystrand SM "
                                        "sent NAK (0x15) where XOFF (0x13) was awaited.",
                                        "NAK: the boot loader refused the row.", incomplete}));
    EXPECT_EQ(
        LinesOf(err, Prefix(devices[3].link)),
        (std::vector<std::string>{"Firmware update failed at row 8 of 13: the port " +
                                      devices[3].link + " failed while XOFF (0x13) was awaited.",
                                  "The system says: Input/output error (5).", incomplete,
                                  "Check that the adapter is still plugged in."}));
    EXPECT_EQ(LinesOf(err, Prefix(gone)),
              (std::vector<std::string>{"Cannot open the serial port " + gone + ": no such device.",
                                        "The system says: No such file or directory (2).",
                                        "Nothing was sent to the device: it is unchanged.",
                                        "See --list-ports for the ports present; a USB adapter "
                                        "may have been unplugged."}));

    const std::vector<std::vector<std::string>> table = TableRows(out);
    ASSERT_EQ(table.size(), 6u) << out;
    EXPECT_EQ(table[0], (std::vector<std::string>{devices[0].link, "13/13", "T", kUpdated}));
    EXPECT_EQ(table[1][1], "0/13");
    EXPECT_EQ(table[1][3], LinesOf(err, Prefix(devices[1].link)).front());
    // The rows the device confirmed: not the one it refused, nor the one the line lost.
    EXPECT_EQ(table[2][1], "4/13");
    EXPECT_EQ(table[3][1], "7/13");
    EXPECT_EQ(table[4],
              (std::vector<std::string>{
                  gone, "0/13", "T", "Cannot open the serial port " + gone + ": no such device."}));
    EXPECT_EQ(table[5], std::vector<std::string>{"1 of 5 devices updated; exit code 6."});
    EXPECT_FALSE(simtool::Exists(settings)) << "a run on several ports remembers none";

    ASSERT_EQ(stopDevice(devices[0]), 0);
    expectImageEqualsFile(devices[0]);
    EXPECT_EQ(StatusValue(devices[2].status, "rows_rejected"), "1");

    // The worst, not the first or the last: a port failure beside a success is 4.
    ASSERT_EQ(run(portArgs({gone, devices[2].link})), 6) << out << err;
    Device healthy;
    startDevice(healthy, dir.path("line6"));
    EXPECT_EQ(run(portArgs({healthy.link, gone})), 4) << out << err;
    EXPECT_EQ(stopDevice(healthy), 0);
    EXPECT_EQ(StatusValue(healthy.status, "file_completes"), "1");
}

TEST_F(SeveralPorts, CtrlCWithFourRunningStopsThemAllAndSaysWhereEachStood) {
    writePackage(HexFile(12));
    std::vector<Device> devices;
    // Each holds back XON before row 5, so that the signal finds all four in that wait.
    const std::string hold = "xon@row=5:delay=1900";
    startDevices(devices, {hold, hold, hold, hold});
    Child program;
    ASSERT_TRUE(start(program, portArgs(linksOf(devices))));
    // Each port says when its device has been silent for a second: then it is in that wait.
    for (const Device& d : devices) {
        ASSERT_TRUE(WaitFor([&] {
            return ReadWholeFile(dir.path("update.out"))
                       .find(d.link + ": waiting for the device") != std::string::npos;
        })) << ReadWholeFile(dir.path("update.out"));
        EXPECT_EQ(StatusValue(d.status, "rows_accepted"), "4");
    }
    program.signal(SIGINT);
    EXPECT_EQ(finish(program), 130) << out << err;
    const std::string incomplete(kIncomplete, std::string(kIncomplete).size() - 1);
    const std::vector<std::vector<std::string>> table = TableRows(out);
    ASSERT_EQ(table.size(), 5u) << out;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(
            LinesOf(err, Prefix(devices[i].link)),
            (std::vector<std::string>{"Stopped by Ctrl-C (SIGINT) at row 4 of 13.", incomplete}));
        EXPECT_EQ(table[i], (std::vector<std::string>{devices[i].link, "4/13", "T",
                                                      "Stopped by Ctrl-C (SIGINT) at row 4 of "
                                                      "13."}));
        EXPECT_TRUE(WaitFor([&] { return StatusValue(devices[i].status, "state") == "closed"; }))
            << "every port is closed";
    }
    EXPECT_EQ(table[4], std::vector<std::string>{"0 of 4 devices updated; exit code 130."});
}

TEST_F(SeveralPorts, OnATerminalEachPortHasOneLiveLineRedrawnInPlaceUnderTheirLines) {
    writePackage(HexFile(12));
    std::vector<Device> devices;
    startDevices(devices, {"", "xon@row=5:delay=1900"});
    TerminalRun terminal(160); // wide enough that no port's line is broken
    std::vector<std::string> args = portArgs(linksOf(devices));
    args.insert(args.begin(), updater);
    ASSERT_TRUE(terminal.start(args));
    ASSERT_TRUE(terminal.readUntil("waiting for the device\xE2\x80\xA6 1 s")) << terminal.screen();
    ASSERT_TRUE(terminal.readUntil("devices updated; exit code 0.\r\n")) << terminal.screen();
    EXPECT_EQ(terminal.wait(), 0);

    // Only the cursor's way back over the two live lines, and the erasing below it.
    const std::string& screen = terminal.screen();
    EXPECT_EQ(std::regex_replace(screen, std::regex("\x1b\\[2A\r|\x1b\\[J"), "").find('\x1b'),
              std::string::npos);
    // The slow device's line while the other had finished: the bar of its own, at full width.
    std::smatch m;
    const std::string b = devices[1].link;
    ASSERT_TRUE(std::regex_search(
        screen, m,
        std::regex("\n(" + std::regex_replace(b, std::regex("[.^$|()\\[\\]{}*+?\\\\]"), "\\$&") +
                   "  sending      \\[[#.]+\\]  4/13 rows  waiting for the device\xE2\x80\xA6 1 s "
                   " *)\r\n")));
    EXPECT_EQ(consoletest::Columns(m[1].str()), 159u) << m[1].str();

    // What the terminal shows at the end: each port's lines whole, in the order they came, the
    // two live lines in their final state under them, then the table.
    std::vector<std::string> shown = Screen(screen);
    for (std::string& row : shown) {
        row = std::regex_replace(WithoutTimes(row), std::regex(" +$"), "");
        row = std::regex_replace(row, std::regex("[0-9]+\\.[0-9] s"), "T s");
    }
    const std::string a = devices[0].link;
    ASSERT_EQ(shown.size(), 2u + 8u + 8u) << screen;
    EXPECT_EQ(shown[0], "Firmware version \"2.10\", HEX file \"firmware.hex\"");
    EXPECT_EQ(shown[1], "Updating 2 Keystrand SM devices at once: " + a + ", " + b);
    const std::vector<std::string> portLines(shown.begin() + 2, shown.begin() + 10);
    const std::vector<std::string> expected = {
        std::string(consoletest::kNoModemStatus, std::strlen(consoletest::kNoModemStatus) - 1),
        "Boot loader version KYST-SM-2.10", "13 rows, 192 data bytes in T s, R rows/s", kUpdated};
    for (const std::string& name : {a, b}) {
        std::vector<std::string> own;
        for (const std::string& row : portLines) {
            if (row.rfind(name + ": ", 0) == 0) {
                own.push_back(row.substr(name.size() + 2));
            }
        }
        EXPECT_EQ(own, expected) << name << "\n" << screen;
    }
    EXPECT_EQ(std::vector<std::string>(shown.begin() + 10, shown.end()),
              (std::vector<std::string>{
                  a + "  updated      13/13 rows  T s", b + "  updated      13/13 rows  T s", "",
                  "Port" + std::string(a.size() - 2, ' ') + "Rows   Time   Outcome",
                  a + "  13/13  T s  " + kUpdated, b + "  13/13  T s  " + kUpdated,
                  "2 of 2 devices updated; exit code 0.", ""}))
        << screen;
    for (Device& d : devices) {
        EXPECT_EQ(stopDevice(d), 0);
        expectImageEqualsFile(d);
    }
}

TEST_F(SeveralPorts, WhatCanBeToldBeforeAnyPortIsTouchedStopsThemAll) {
    std::vector<Device> devices;
    startDevices(devices, {"", ""});
    const std::vector<std::string> both = portArgs(linksOf(devices));

    // A HEX file that can never be flashed: said once, with the words of one update.
    std::string hex = HexFile(3);
    hex.replace(hex.find(":00000001FF"), 11, ":00000001FE");
    writePackage(hex);
    EXPECT_EQ(run(both), 3);
    EXPECT_EQ(err.find("The firmware HEX file \"firmware.hex\" cannot be flashed: row 4: "), 0u)
        << err;
    EXPECT_EQ(err.find("cannot be flashed", 40), std::string::npos) << err;

    // One port twice, by two names.
    writePackage(HexFile(3));
    const std::string alias = dir.path("alias");
    ASSERT_EQ(::symlink(devices[0].link.c_str(), alias.c_str()), 0);
    EXPECT_EQ(run(portArgs({devices[0].link, alias})), 2);
    EXPECT_EQ(err.find("keystrand-update: " + devices[0].link + " and " + alias +
                       " are the same port (/dev/pts/"),
              0u)
        << err;

    // A trace folder that cannot be: a file stands there.
    dir.write("trace-file", "");
    std::vector<std::string> traced = both;
    traced.insert(traced.end(), {"--trace", dir.path("trace-file")});
    EXPECT_EQ(run(traced), 2);
    EXPECT_EQ(err, "keystrand-update: cannot make the trace folder \"" + dir.path("trace-file") +
                       "\": Not a directory\n");

    EXPECT_EQ(run({"--package", pkg(), "--all-ports"}), 4);
    EXPECT_EQ(err, "keystrand-update: No serial port found (see --list-ports).\n");
    for (Device& d : devices) {
        EXPECT_EQ(stopDevice(d), 0);
        EXPECT_EQ(StatusValue(d.status, "opens"), "0");
    }
}

TEST_F(SeveralPorts, AllPortsUpdatesEveryPortTheListingShows) {
    writePackage(HexFile(5));
    Device usb;
    Device acm;
    startDevice(usb, dir.path("dev/ttyUSB0"));
    startDevice(acm, dir.path("dev/ttyACM0"));
    ASSERT_EQ(run({"--package", pkg(), "--all-ports"}), 0) << out << err;
    const std::vector<std::vector<std::string>> table = TableRows(out);
    ASSERT_EQ(table.size(), 3u) << out;
    EXPECT_EQ(table[0], (std::vector<std::string>{usb.link, "6/6", "T", kUpdated}));
    EXPECT_EQ(table[1], (std::vector<std::string>{acm.link, "6/6", "T", kUpdated}));
    EXPECT_FALSE(simtool::Exists(settings));
    for (Device* d : {&usb, &acm}) {
        EXPECT_EQ(stopDevice(*d), 0);
        expectImageEqualsFile(*d);
    }
}

} // namespace

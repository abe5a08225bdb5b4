// The pieces of an update on several ports at once: the worst exit code, the table, the board
// that the ports' threads write to, and the lines it is drawn as.
#include <thread>

#include <gtest/gtest.h>

#include "console/view/PortBoard.h"
#include "console/view/PortScreen.h"
#include "console/view/PortsSummary.h"
#include "integration/console/ConsoleTestSupport.h"

namespace {

using consoletest::Contents;

TEST(SeveralPortsSummary, TheWorstExitCodeIsAStopThenTheProgramThenTransferEntryPortPackage) {
    EXPECT_EQ(console::WorstExitCode({}), 0);
    EXPECT_EQ(console::WorstExitCode({0, 0}), 0);
    EXPECT_EQ(console::WorstExitCode({3, 0, 6, 4, 5}), 6);
    EXPECT_EQ(console::WorstExitCode({4, 5, 3}), 5);
    EXPECT_EQ(console::WorstExitCode({0, 4}), 4);
    EXPECT_EQ(console::WorstExitCode({6, 1, 4}), 1);
    EXPECT_EQ(console::WorstExitCode({6, 130, 0, 1}), 130);
}

TEST(SeveralPortsSummary, TheTableLinesUpItsColumnsWithTheOutcomeLast) {
    std::vector<console::PortSummary> ports(3);
    ports[0] = {"COM1 (/dev/ttyUSB0)", 0, "Updated.", 2049, 2049, 182345, true, ""};
    ports[1] = {"COM12 (/dev/ttyACM0)", 6, "Failed at row 7 of 2049.", 7, 2049, 950, true, ""};
    ports[2] = {"/dev/ttyUSB13", 4, "Not updated: no COM number left.", 0, 0, 0, false, ""};
    EXPECT_EQ(console::SummaryTable(ports),
              (std::vector<std::string>{
                  "Port                  Rows       Time     Outcome",
                  "COM1 (/dev/ttyUSB0)   2049/2049  182.3 s  Updated.",
                  "COM12 (/dev/ttyACM0)  7/2049     0.9 s    Failed at row 7 of 2049.",
                  "/dev/ttyUSB13         -          -        Not updated: no COM number left.",
                  "1 of 3 devices updated; exit code 6."}));
}

TEST(SeveralPortsBoard, ThreadsHandInWholeLinesAndTheDrawerTakesThemOnceInOrder) {
    console::PortBoard board({"COM1", "COM2"});
    board.text(0, "first ");
    board.text(1, "other\n");
    board.text(0, "line\nsecond line\nthird");
    console::PortBoard::Snapshot s = board.take();
    ASSERT_EQ(s.lines.size(), 3u);
    EXPECT_EQ(s.lines[0].text, "other");
    EXPECT_EQ(s.lines[0].port, 1u);
    EXPECT_EQ(s.lines[1].text, "first line");
    EXPECT_EQ(s.lines[2].text, "second line");
    EXPECT_FALSE(s.allFinished);
    EXPECT_TRUE(board.take().lines.empty()) << "each line is taken once";

    // The end of an update: a line still open is ended, a failure's report goes to the error
    // stream, and the state says how it ended.
    console::PortSummary failed;
    failed.exitCode = 6;
    board.finished(0, failed, {"Firmware update failed.", "Run it again."});
    board.stage(1, update::Stage::kAwaitingXon);
    s = board.take();
    ASSERT_EQ(s.lines.size(), 3u);
    EXPECT_EQ(s.lines[0].text, "third");
    EXPECT_FALSE(s.lines[0].toErr);
    EXPECT_TRUE(s.lines[1].toErr);
    EXPECT_TRUE(s.ports[0].finished);
    EXPECT_EQ(s.ports[1].stage, update::Stage::kAwaitingXon);
    EXPECT_FALSE(s.allFinished);
    board.finished(1, console::PortSummary(), {"Updated."});
    s = board.take();
    EXPECT_FALSE(s.lines[0].toErr);
    EXPECT_TRUE(s.allFinished);

    // A drawer that is not read in time: what waits is bounded, and what was dropped counted.
    std::string many;
    for (std::size_t i = 0; i < console::PortBoard::kMaxWaitingLines + 5; ++i) {
        many += "x\n";
    }
    board.text(1, many);
    s = board.take();
    EXPECT_EQ(s.lines.size(), console::PortBoard::kMaxWaitingLines);
    EXPECT_EQ(s.droppedLines, 5u);
    board.text(1, std::string(console::PortBoard::kMaxLineLength + 3, 'y'));
    EXPECT_EQ(board.take().lines.at(0).text.size(), console::PortBoard::kMaxLineLength);
}

TEST(SeveralPortsBoard, ManyThreadsAtOnceLoseNoLineAndBreakNone) {
    console::PortBoard board({"COM1", "COM2", "COM3", "COM4"});
    {
        std::vector<std::thread> threads;
        for (std::size_t port = 0; port < 4; ++port) {
            threads.emplace_back([&board, port] {
                for (int i = 0; i < 500; ++i) {
                    board.text(port, "row ");
                    board.text(port, std::to_string(i) + "\n");
                }
                board.finished(port, console::PortSummary(), {});
            });
        }
        for (std::thread& t : threads) {
            t.join();
        }
    }
    const console::PortBoard::Snapshot s = board.take();
    EXPECT_TRUE(s.allFinished);
    std::vector<int> next(4, 0);
    for (const auto& line : s.lines) {
        EXPECT_EQ(line.text, "row " + std::to_string(next[line.port]++));
    }
    EXPECT_EQ(next, (std::vector<int>{500, 500, 500, 500}));
}

console::PortBoard::PortState Sending(int row, int total, std::uint32_t waitedMs = 0) {
    console::PortBoard::PortState s;
    s.stage = update::Stage::kAwaitingXoff;
    s.progress.row = row;
    s.progress.total = total;
    s.progress.firstRowTick = 1000;
    s.progress.now = 2000;
    s.progress.waitedMs = waitedMs;
    return s;
}

TEST(SeveralPortsScreen, ALiveLineIsNameStateAndTheBarFittedToTheWidth) {
    using console::LiveLines;
    const consoletest::Utf8Locale utf8;
    EXPECT_EQ(LiveLines::LiveLine("COM1", Sending(301, 1201), 80),
              "COM1  sending      [###..........]  301/1201 rows   25%  300 rows/s  0:03 left ");
    EXPECT_EQ(
        LiveLines::LiveLine("COM1", Sending(301, 1201, 2500), 80),
        "COM1  sending      [###..........]  301/1201 rows  waiting for the device\xE2\x80\xA6 "
        "2 s ");
    // Too narrow for all: cut to the width, never wrapped.
    EXPECT_EQ(LiveLines::LiveLine("COM1", Sending(301, 1201), 30), "COM1  sending       301/1201 ");
    // A name wider than the line is cut with a mark, never passed off as a shorter name.
    EXPECT_EQ(LiveLines::LiveLine("/dev/serial/by-id/a-very-long-name", Sending(1, 2), 20),
              "/dev/serial/by-id/\xE2\x80\xA6");

    console::PortBoard::PortState early;
    early.stage = update::Stage::kIdentifyingBootLoader;
    early.progress.waitedMs = 2100;
    EXPECT_EQ(LiveLines::LiveLine("COM2", early, 40), "COM2  boot loader  silent for 2 s      ");
    console::PortBoard::PortState over;
    over.finished = true;
    over.summary = {"COM2", 130, "Stopped.", 4, 13, 2345, true, ""};
    EXPECT_EQ(LiveLines::LiveLine("COM2", over, 40), "COM2  stopped      4/13 rows  2.3 s    ");
    // Narrower: a figure that does not fit is left out whole.
    EXPECT_EQ(LiveLines::LiveLine("COM2", over, 30), "COM2  stopped      4/13 rows ");
    EXPECT_EQ(LiveLines::LiveLine("COM2", over, 25), "COM2  stopped           ");
    EXPECT_EQ(LiveLines::LiveLine("COM12", early, 20), "COM12  boot loader ");
}

TEST(SeveralPortsScreen, APipeGetsEachLineWholeAfterItsPortsNamePaddedToTheLongest) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    int width = 0;
    console::PrefixedLines screen(out, err, [&] { return width; });
    console::PortBoard board({"COM1", "/dev/ttyUSB10"});
    board.text(1, "Row 1 of 9 (11%)\n");
    board.text(0, "Row 1 of 9 (11%)\n");
    console::PortSummary failed;
    failed.exitCode = 4;
    board.finished(0, failed, {"Cannot open the serial port COM1: permission denied."});
    screen.show(board.take());
    EXPECT_EQ(Contents(out), "/dev/ttyUSB10: Row 1 of 9 (11%)\n"
                             "COM1:          Row 1 of 9 (11%)\n");
    EXPECT_EQ(Contents(err),
              "COM1:          Cannot open the serial port COM1: permission denied.\n");

    // On a terminal of 40 columns a long line goes on under its text, broken between words.
    width = 40;
    board.text(1, "The modem status of this line cannot be read (no DSR).\n");
    screen.show(board.take());
    EXPECT_EQ(Contents(out), "/dev/ttyUSB10: Row 1 of 9 (11%)\n"
                             "COM1:          Row 1 of 9 (11%)\n"
                             "/dev/ttyUSB10: The modem status of this\n"
                             "               line cannot be read (no\n"
                             "               DSR).\n");
    std::fclose(out);
    std::fclose(err);
}

TEST(SeveralPortsSummary, OnANarrowTerminalAnOutcomeGoesOnUnderItsColumn) {
    std::vector<console::PortSummary> ports(1);
    ports[0] = {"COM1", 6, "Firmware update failed at row 7 of 9: the device sent NAK (0x15).",
                6,      9, 950,
                true,   ""};
    EXPECT_EQ(console::SummaryTable(ports, 60),
              (std::vector<std::string>{"Port  Rows  Time   Outcome",
                                        "COM1  6/9   0.9 s  Firmware update failed at row 7 of 9:",
                                        "                   the device sent NAK (0x15).",
                                        "0 of 1 device updated; exit code 6."}));
}

} // namespace

// The console's pieces one by one: options, the views, the package, the settings file, the trace
// and the blocking waits (on a virtual clock).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "base/VirtualClock.h"
#include "console/os/posix/SettingsFile.h"
#include "console/run/Options.h"
#include "console/run/Package.h"
#include "console/view/RunView.h"
#include "console/words/Text.h"
#include "integration/console/ConsoleTestSupport.h"
#include "serial/TracedLine.h"
#include "support/TempDir.h"
#include "update/BlockingWaits.h"

namespace {

using consoletest::Contents;

TEST(ConsoleOptions, FormsOfTheCommandLine) {
    console::Options o;
    std::string error;
    ASSERT_TRUE(
        console::ParseOptions({"--package=/p", "--port", "COM4", "--trace", "t"}, &o, &error))
        << error;
    EXPECT_EQ(o.packageDir, "/p");
    EXPECT_EQ(o.ports, std::vector<std::string>{"COM4"});
    EXPECT_EQ(o.trace, "t");
    EXPECT_FALSE(o.severalPorts());
    ASSERT_TRUE(console::ParseOptions({"--version"}, &o, &error));
    EXPECT_TRUE(o.version);
    EXPECT_EQ(console::VersionText("keystrand-update"), "keystrand-update 2.0.0.9");
    for (const char* help : {"--help", "-h", "-?", "/?"}) {
        ASSERT_TRUE(console::ParseOptions({"--port", "x", help}, &o, &error)) << help;
        EXPECT_TRUE(o.help) << help;
    }
    ASSERT_TRUE(console::ParseOptions({"--port", "COM2", "--port=/dev/ttyUSB0", "--trace", "d"}, &o,
                                      &error))
        << error;
    EXPECT_EQ(o.ports, (std::vector<std::string>{"COM2", "/dev/ttyUSB0"}));
    EXPECT_TRUE(o.severalPorts());
    ASSERT_TRUE(console::ParseOptions({"--all-ports"}, &o, &error));
    EXPECT_TRUE(o.severalPorts());

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--port", "1", "--port", "2", "--port", "1"}, "--port 1 is given twice"},
        {{"--all-ports", "--port", "1"}, "--all-ports and --port cannot be given together"},
        {{"--check", "--all-ports"}, "--check touches no port: leave out --all-ports"},
        {{"--check", "--port", "/dev/ttyUSB0"}, "--check touches no port: leave out --port"},
        {{"--list-ports", "--all-ports"}, "--list-ports touches no port: leave out --all-ports"},
        {{"--check", "--trace", "t"}, "--check sends nothing to trace: leave out --trace"},
        {{"--trace", "a", "--trace", "b"}, "--trace is given more than once"},
        {{"--check=yes"}, "--check takes no value"},
        {{"--trace"}, "--trace needs a value"},
        {{"--package="}, "--package needs a value that is not empty"},
        {{"--port="}, "--port needs a value that is not empty"},
        {{"--bogus"}, "unknown option \"--bogus\" (see --help)"},
        {{"-x"}, "unknown option \"-x\" (see --help)"},
        {{"extra"}, "unexpected argument \"extra\" (see --help)"},
        {{"--check", "--list-ports"}, "--list-ports and --check cannot be given together"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(console::ParseOptions(b.first, &o, &error)) << b.second;
        EXPECT_EQ(error, b.second);
    }
}

TEST(ConsoleOptions, TheHelpFitsEightyColumnsAndNamesEveryOption) {
    const std::string help = console::HelpText("keystrand-update");
    std::string::size_type at = 0;
    while (at < help.size()) {
        const std::string::size_type end = help.find('\n', at);
        const std::string line = help.substr(at, end - at);
        EXPECT_LE(line.size(), 79u) << line;
        at = end == std::string::npos ? help.size() : end + 1;
    }
    for (const char* text : {"--package DIR", "--port PORT", "--all-ports", "--trace FILE",
                             "--check", "--list-ports", "--version", "--help"}) {
        EXPECT_NE(help.find(text), std::string::npos) << text;
    }
}

TEST(ConsoleOptions, TraceNamesThatWindowsTakesForDevices) {
    for (const char* path :
         {"COM1.log", "c:\\logs\\com9.txt", "traces/NUL", "aux.x.y", "LPT3 .log"}) {
        EXPECT_TRUE(console::IsWindowsDeviceName(path)) << path;
    }
    for (const char* path : {"trace-COM1.log", "COM10.log", "COM0.log", "console.log", "CON1"}) {
        EXPECT_FALSE(console::IsWindowsDeviceName(path)) << path;
    }
}

console::RunView::Progress At(int row, int total, std::uint32_t msSinceFirstRow,
                              std::uint32_t waitedMs = 0) {
    console::RunView::Progress p;
    p.row = row;
    p.total = total;
    p.firstRowTick = 1000;
    p.now = 1000 + msSinceFirstRow;
    p.waitedMs = waitedMs;
    return p;
}

TEST(ConsoleBar, TheBarFillsTheTerminalsWidthAndShowsASilentDevice) {
    const consoletest::Utf8Locale utf8;
    const std::string at60 = console::BarView::BarLine(At(301, 1201, 1000), 60);
    EXPECT_EQ(at60, "[###.........]  301/1201 rows   25%  300 rows/s  0:03 left ");
    EXPECT_EQ(at60.size(), 59u);
    const std::string at120 = console::BarView::BarLine(At(301, 1201, 1000), 120);
    EXPECT_EQ(at120, "[##################......................................................]  "
                     "301/1201 rows   25%  300 rows/s  0:03 left ");
    EXPECT_EQ(at120.size(), 119u);
    // The device is silent: how long, in place of figures that would freeze; the bar keeps its
    // length.
    EXPECT_EQ(console::BarView::BarLine(At(301, 1201, 1000, 3400), 60),
              "[###.........]  301/1201 rows  waiting for the device\xE2\x80\xA6 3 s ");
    // Too narrow for a bar: the figures that fit, each whole, the least needed dropped first.
    EXPECT_EQ(console::BarView::BarLine(At(301, 1201, 1000), 30), " 301/1201 rows   25%         ");
    EXPECT_EQ(console::BarView::BarLine(At(301, 1201, 1000), 40),
              " 301/1201 rows   25%  300 rows/s       ");
    EXPECT_EQ(console::BarView::BarLine(At(301, 1201, 1000, 3400), 30),
              " 301/1201 rows  silent 3 s   ");
    EXPECT_EQ(console::BarView::BarLine(At(0, 513, 0, 1000), 50),
              "  0/513 rows  waiting for the device\xE2\x80\xA6 1 s        ")
        << "the file's rows are known before the first is sent";
    // Where the locale's character set has no ellipsis, three dots.
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(console::BarView::BarLine(At(0, 513, 0, 1000), 50),
              "  0/513 rows  waiting for the device... 1 s      ");
    EXPECT_EQ(console::BarView::BarLine(At(1, 10, 0), 50),
              "[......]  1/10 rows   10%  -- rows/s  --:-- left ");
    // Notes on a terminal break between words, never inside one.
    EXPECT_EQ(console::Wrapped("The modem status of this line cannot be read (no DSR): "
                               "the boot loader is assumed to be running.",
                               40),
              "The modem status of this line cannot be\nread (no DSR): the boot loader is\n"
              "assumed to be running.");
    EXPECT_EQ(console::Wrapped("a /very/long/path/to/a/tty b", 10),
              "a\n/very/long/path/to/a/tty\nb");
    EXPECT_EQ(console::Wrapped("two\nlines kept", 8), "two\nlines\nkept");
    EXPECT_EQ(console::RunView::Summary(2049, 32768, 8420),
              "2049 rows, 32768 data bytes in 8.4 s, 243 rows/s");
}

// The runs of digits in a text: each number it shows.
std::vector<std::string> Numbers(const std::string& text) {
    std::vector<std::string> numbers;
    std::string run;
    for (const char c : text + " ") {
        if (c >= '0' && c <= '9') {
            run += c;
        } else if (!run.empty()) {
            numbers.push_back(run);
            run.clear();
        }
    }
    return numbers;
}

TEST(ConsoleBar, OnANarrowTerminalEveryNumberIsShownWholeOrNotAtAll) {
    const consoletest::Utf8Locale utf8;
    for (const console::RunView::Progress& p :
         {At(1, 230, 0), At(17, 230, 900), At(230, 230, 4000), At(3, 1201, 1000, 12400)}) {
        const std::vector<std::string> whole = Numbers(console::BarView::BarLine(p, 200));
        for (int width = 1; width <= 60; ++width) {
            const std::string line = console::BarView::BarLine(p, width);
            EXPECT_EQ(console::Columns(line), std::max(width - 1, 1)) << width << ": " << line;
            for (const std::string& number : Numbers(line)) {
                EXPECT_NE(std::find(whole.begin(), whole.end(), number), whole.end())
                    << "width " << width << " shows " << number << " of " << line;
            }
        }
    }
    // Row 1 of 230 at 7 columns: the bare count, never "1/23".
    EXPECT_EQ(console::BarView::BarLine(At(1, 230, 0), 7), "1/230 ");
    EXPECT_EQ(console::BarView::BarLine(At(1, 230, 0), 5), "    ");
}

TEST(ConsoleBar, ATerminalGetsOneLineRedrawnInPlaceAndAPipePlainLines) {
    const consoletest::Utf8Locale utf8;
    base::VirtualClock clock(0, 0);
    std::FILE* tty = std::tmpfile();
    std::FILE* pipe = std::tmpfile();
    ASSERT_NE(tty, nullptr);
    ASSERT_NE(pipe, nullptr);
    {
        int width = 40;
        console::BarView bar(tty, clock, [&] { return width; });
        console::LineView lines(pipe, clock);
        for (console::RunView* v :
             {static_cast<console::RunView*>(&bar), static_cast<console::RunView*>(&lines)}) {
            update::HexFileSummary summary;
            summary.dataBytes = 48;
            v->packageChecked(summary);
            v->bootLoaderVersion("KYST-SM-2.10");
        }
        for (int row = 1; row <= 4; ++row) {
            clock.advance(200);
            bar.rowSent(row, 4, 43);
            lines.rowSent(row, 4, 43);
            if (row == 2) {
                bar.waitStarted(update::Stage::kAwaitingXon, 2000);
                lines.waitStarted(update::Stage::kAwaitingXon, 2000);
                width = 50; // the window was made wider meanwhile
                for (int slice = 0; slice < 12; ++slice) {
                    clock.advance(100);
                    bar.idle();
                    lines.idle();
                }
            }
        }
        bar.finish(true);
        lines.finish(true);
    }
    // 40 columns leave no room for a bar; at 50 it appears. A silent device is shown once a
    // second has passed, and not redrawn while the line stays the same.
    EXPECT_EQ(Contents(tty), "Boot loader version KYST-SM-2.10\n"
                             "\r1/4 rows   25%  -- rows/s  --:-- left  "
                             "\r2/4 rows   50%  5 rows/s  0:00 left    "
                             "\r[####....] 2/4 rows  waiting for the device\xE2\x80\xA6 1 s "
                             "\r[######..] 3/4 rows   75%  1 rows/s  0:01 left   "
                             "\r[########] 4/4 rows  100%  2 rows/s  0:00 left   \n"
                             "4 rows, 48 data bytes in 2.0 s, 2 rows/s\n");
    EXPECT_EQ(Contents(pipe), "Boot loader version KYST-SM-2.10\n"
                              "Row 1 of 4 (25%)\n"
                              "Row 2 of 4 (50%)\n"
                              "waiting for the device\xE2\x80\xA6\n"
                              "Row 3 of 4 (75%)\n"
                              "Row 4 of 4 (100%)\n"
                              "4 rows, 48 data bytes in 2.0 s, 2 rows/s\n");
    std::fclose(tty);
    std::fclose(pipe);
}

TEST(ConsolePackage, TheDescriptionFilesLinesAreToldApartAndNamesQuoted) {
    TempDir dir;
    const std::string folder = dir.path("");
    auto why = [](const std::string&) { return std::string("no such file"); };
    console::Package p = console::ReadPackage(folder, why);
    EXPECT_EQ(console::DescribePackageProblem(p), "cannot read the firmware description file \"" +
                                                      folder + "Keystrand_SM.txt\": no such file");
    dir.write("Keystrand_SM.txt", "");
    EXPECT_EQ(console::DescribePackageProblem(console::ReadPackage(folder, why)),
              "the firmware description file \"" + folder +
                  "Keystrand_SM.txt\" is empty: line 1 (the firmware version) is missing");
    dir.write("Keystrand_SM.txt", "2.10\r\n");
    p = console::ReadPackage(folder, why);
    EXPECT_TRUE(p.versionRead());
    EXPECT_EQ(p.version, "2.10");
    EXPECT_EQ(console::DescribePackageProblem(p), "the firmware description file \"" + folder +
                                                      "Keystrand_SM.txt\" has no line 2 (the HEX "
                                                      "file's name)");
    dir.write("Keystrand_SM.txt", "2.10\r\n\r\n");
    EXPECT_EQ(console::DescribePackageProblem(console::ReadPackage(folder, why)),
              "line 2 of the firmware description file \"" + folder +
                  "Keystrand_SM.txt\" (the HEX file's name) is empty");
    dir.write("Keystrand_SM.txt", "2.10\nfw.hex \n");
    dir.write("fw.hex", consoletest::HexFile(1));
    p = console::ReadPackage(folder, why);
    EXPECT_EQ(console::DescribePackageProblem(p),
              "cannot read the firmware HEX file \"" + folder + "fw.hex \": no such file");
    dir.write("Keystrand_SM.txt", "2.10\nfw.hex\n");
    p = console::ReadPackage(folder, why);
    EXPECT_TRUE(p.ok());
    EXPECT_EQ(p.hexPath, folder + "fw.hex");
}

TEST(ConsoleSettings, TheSettingsFileKeepsThePortsPathAndMakesItsFolders) {
    TempDir dir;
    const console::SettingsFile settings(dir.path("a/b/settings"));
    EXPECT_EQ(settings.port(), "");
    ASSERT_TRUE(settings.setPort("/dev/serial/by-id/usb-FTDI_X-if00-port0"));
    EXPECT_EQ(settings.port(), "/dev/serial/by-id/usb-FTDI_X-if00-port0");
    std::FILE* f = std::fopen(dir.path("a/b/settings").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Contents(f), "[Settings]\nPort=/dev/serial/by-id/usb-FTDI_X-if00-port0\n");
    std::fclose(f);
    EXPECT_FALSE(settings.setPort("/dev/a\nPort=/dev/b")) << "one line per entry";
    // A file of an earlier version, which kept a COM number, remembers no port.
    dir.write("a/b/settings", "[Settings]\r\nComPort=3\r\n[Other]\r\nPort=/x\r\n");
    EXPECT_EQ(settings.port(), "");

    ::setenv("KEYSTRAND_UPDATE_SETTINGS", "/x/s", 1);
    EXPECT_EQ(console::SettingsFile::DefaultPath(), "/x/s");
    ::unsetenv("KEYSTRAND_UPDATE_SETTINGS");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(console::SettingsFile::DefaultPath(), "/cfg/keystrand-update/settings");
    ::unsetenv("XDG_CONFIG_HOME");
}

// A line that answers from a script, and blocks (on the virtual clock) for as long as a read
// may wait when nothing is there.
class ScriptedLine : public serial::Line {
public:
    explicit ScriptedLine(base::VirtualClock& clock) : m_clock(clock) {}
    std::string pending;
    serial::Dsr modem = serial::Dsr::kUnknown;
    bool readFails = false;
    std::uint32_t lastWait = 0; // the longest wait a read was given
    int reads = 0;

    const std::string& name() const override { return m_name; }
    bool open(std::uint32_t) override { return true; }
    void close() override {}
    bool setSpeed(std::uint32_t) override { return true; }
    bool write(const std::string&) override { return true; }
    int read(char* b, int n, std::uint32_t limitMs) override {
        reads++;
        lastWait = std::max(lastWait, limitMs);
        if (readFails) {
            return kReadFailed;
        }
        if (pending.empty()) {
            m_clock.advance(limitMs); // blocked until the limit
            return 0;
        }
        const int count = std::min(n, static_cast<int>(pending.size()));
        std::memcpy(b, pending.data(), static_cast<std::size_t>(count));
        pending.erase(0, static_cast<std::size_t>(count));
        return count;
    }
    bool purgeInput() override { return true; }
    serial::Dsr dsr() override { return modem; }
    base::SystemError lastError() const override {
        base::SystemError e;
        e.code = 5;
        e.text = "Input/output error";
        return e;
    }

private:
    base::VirtualClock& m_clock;
    std::string m_name = "/dev/ttyUSB1";
};

TEST(ConsoleWaits, EachWaitBlocksInSlicesAndEndsOnACharacterTheLimitOrAStop) {
    base::VirtualClock clock(0, 0);
    ScriptedLine line(clock);
    serial::Line& port = line;
    bool stop = false;
    int idles = 0;
    update::BlockingWaits waits(
        clock, [&] { return stop; }, [&] { idles++; });

    char c = 0;
    line.pending = "\x11";
    EXPECT_EQ(waits.waitForCharacter(port, clock.now(), 2000, &c), update::WaitResult::kCharacter);
    EXPECT_EQ(c, 0x11);
    EXPECT_EQ(idles, 0);

    // Nothing comes: twenty reads of 100 ms each, then the limit.
    const int readsBefore = line.reads;
    EXPECT_EQ(waits.waitForCharacter(port, clock.now(), 2000, &c), update::WaitResult::kTimedOut);
    EXPECT_EQ(line.reads - readsBefore, 20);
    EXPECT_EQ(line.lastWait, update::BlockingWaits::kSliceMs);
    EXPECT_EQ(idles, 20);
    EXPECT_EQ(clock.now(), 2000u);

    // The last slice is cut to what is left of the limit.
    const std::uint32_t start = clock.now();
    EXPECT_EQ(waits.waitForCharacter(port, start - 1950, 2000, &c), update::WaitResult::kTimedOut);
    EXPECT_EQ(clock.now(), start + 50);

    line.readFails = true;
    EXPECT_EQ(waits.waitForCharacter(port, clock.now(), 2000, &c), update::WaitResult::kReadFailed);
    line.readFails = false;

    stop = true;
    EXPECT_EQ(waits.waitForCharacter(port, clock.now(), 2000, &c), update::WaitResult::kStopped);
    EXPECT_FALSE(waits.pause(100));
    EXPECT_FALSE(waits.betweenStatusReads());

    // The pause sleeps, in slices, rather than reading the clock in a loop.
    stop = false;
    const int sleeps = clock.sleeps();
    EXPECT_TRUE(waits.pause(250));
    EXPECT_EQ(clock.sleeps() - sleeps, 3);
    EXPECT_TRUE(waits.betweenStatusReads());
    EXPECT_EQ(clock.sleeps() - sleeps, 4);
}

TEST(ConsoleTrace, HeaderRowsByNumberDsrChangesAndTheOutcomeNothingRaw) {
    TempDir dir;
    base::VirtualClock clock(5000, 0);
    ScriptedLine line(clock);
    {
        serial::TracedLine trace(line, clock);
        ASSERT_TRUE(trace.startLog(dir.path("t.log"), "keystrand-update 2.0.0.9 trace\nport X"));
        EXPECT_EQ(trace.name(), "/dev/ttyUSB1");
        trace.open(9600);
        trace.dsr();
        trace.dsr(); // unchanged: not logged again
        trace.setSpeed(115200);
        clock.advance(1250);
        trace.write("#&!KYST-SM35");
        line.pending = "KYST\r?\x11";
        char buffer[8];
        trace.read(buffer, sizeof buffer, 100);
        trace.write(":00000001FF");
        clock.advance(30);
        line.pending = "\x1b[31m";
        trace.read(buffer, sizeof buffer, 100);
        line.readFails = true;
        trace.read(buffer, 1, 100);
        trace.close();
        trace.endLog("updated (exit code 0)");
    }
    std::FILE* f = std::fopen(dir.path("t.log").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Contents(f), "# keystrand-update 2.0.0.9 trace\n"
                           "# port X\n"
                           "     0.000 open /dev/ttyUSB1 at 9600 ok\n"
                           "     0.000 dsr unknown (no modem status)\n"
                           "     0.000 speed 115200\n"
                           "     1.250 tx \"#&!KYST-SM35\"\n"
                           "     1.250 rx \"KYST\\r?\\x11\"\n"
                           "     1.250 tx row 1 \":00000001FF\"\n"
                           "     1.280 rx \"\\x1B[31m\"\n"
                           "     1.280 read failed: Input/output error (5)\n"
                           "     1.280 close\n"
                           "     1.280 end\n"
                           "# outcome: updated (exit code 0)\n");
    std::fclose(f);
}

} // namespace

// The console's pieces one by one: options, the views, the package, the port numbering, the
// settings file, the trace and the blocking waits (on a virtual clock).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "console/BlockingWaits.h"
#include "console/Options.h"
#include "console/Package.h"
#include "console/RememberedPort.h"
#include "console/RunView.h"
#include "console/Trace.h"
#include "console/posix/FileProfile.h"
#include "console/posix/TtyPorts.h"
#include "fw/host/MemoryProfile.h"
#include "fw/host/VirtualClock.h"
#include "integration/console/ConsoleTestSupport.h"
#include "serial/SerialPort.h"
#include "serial/SerialPortLine.h"
#include "support/TempDir.h"

namespace {

using consoletest::Contents;

TEST(ConsoleOptions, FormsOfTheCommandLine) {
    console::Options o;
    std::string error;
    ASSERT_TRUE(console::ParseOptions({"--package=/p", "--port", "COM4", "--trace", "t", "--map",
                                       "COM2=/dev/x", "--map", "com12=/y"},
                                      &o, &error))
        << error;
    EXPECT_EQ(o.packageDir, "/p");
    EXPECT_EQ(o.port, "COM4");
    EXPECT_EQ(o.traceFile, "t");
    ASSERT_EQ(o.maps.size(), 2u);
    EXPECT_EQ(o.maps[1], (std::pair<int, std::string>(12, "/y")));
    ASSERT_TRUE(console::ParseOptions({"--version"}, &o, &error));
    EXPECT_TRUE(o.version);
    EXPECT_EQ(console::VersionText("keystrand-update"), "keystrand-update 2.0.0.9");
    ASSERT_TRUE(console::ParseOptions({"--port", "/dev/ttyUSB0"}, &o, &error));
    EXPECT_FALSE(o.severalPorts());
    ASSERT_TRUE(console::ParseOptions({"--port", "COM2", "--port=/dev/ttyUSB0", "--trace", "d"}, &o,
                                      &error))
        << error;
    EXPECT_EQ(o.ports, (std::vector<std::string>{"COM2", "/dev/ttyUSB0"}));
    EXPECT_EQ(o.port, "COM2");
    EXPECT_TRUE(o.severalPorts());
    ASSERT_TRUE(console::ParseOptions({"--all-ports"}, &o, &error));
    EXPECT_TRUE(o.severalPorts());

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--port", "1", "--port", "2", "--port", "1"}, "--port 1 is given twice"},
        {{"--port", "1", "--port", "COM13"}, "--port COM13: the update reaches COM1 to COM12 only"},
        {{"--all-ports", "--port", "1"}, "--all-ports and --port cannot be given together"},
        {{"--check", "--all-ports"}, "--all-ports and --check cannot be given together"},
        {{"--all-ports", "--list-ports"}, "--all-ports and --list-ports cannot be given together"},
        {{"--trace", "a", "--trace", "b"}, "--trace is given more than once"},
        {{"--port", "0"},
         "--port takes a tty path such as /dev/ttyUSB0, or COMn with n from 1 to 12, not \"0\""},
        {{"--port", "COM0"},
         "--port takes a tty path such as /dev/ttyUSB0, or COMn with n from 1 to 12, not "
         "\"COM0\""},
        {{"--port", "COM13"}, "--port COM13: the update reaches COM1 to COM12 only"},
        {{"--port", "ttyUSB0"},
         "--port takes a tty path such as /dev/ttyUSB0, or COMn with n from 1 to 12, not "
         "\"ttyUSB0\" (did you mean /dev/ttyUSB0?)"},
        {{"--map", "COM13=/x"}, "--map takes COMn=PATH with n from 1 to 12, not \"COM13=/x\""},
        {{"--map", "COM2=/a", "--map", "COM2=/b"}, "--map gives COM2 twice"},
        {{"--check=yes"}, "--check takes no value"},
        {{"--trace"}, "--trace needs a value"},
        {{"--package="}, "--package needs a value that is not empty"},
        {{"extra"}, "unknown argument \"extra\" (see --help)"},
        {{"--check", "--list-ports"}, "--list-ports and --check cannot be given together"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(console::ParseOptions(b.first, &o, &error)) << b.second;
        EXPECT_EQ(error, b.second);
    }
    EXPECT_EQ(console::ComNumberFromText("\\\\.\\COM7"), 7);
    for (const char* text : {"COM03", "COM", "COM3x", "256", ""}) {
        EXPECT_EQ(console::ComNumberFromText(text), 0) << text;
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

console::RunView::Progress At(int row, int total, DWORD msSinceFirstRow, DWORD waitedMs = 0) {
    console::RunView::Progress p;
    p.row = row;
    p.total = total;
    p.firstRowTick = 1000;
    p.now = 1000 + msSinceFirstRow;
    p.waitedMs = waitedMs;
    return p;
}

TEST(ConsoleBar, TheBarFillsTheTerminalsWidthAndShowsASilentDevice) {
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
    // Too narrow for a bar: the figures alone, cut to the width.
    EXPECT_EQ(console::BarView::BarLine(At(301, 1201, 1000), 30), " 301/1201 rows   25%  300 row");
    EXPECT_EQ(console::BarView::BarLine(At(1, 10, 0), 50),
              "[......]  1/10 rows   10%  -- rows/s  --:-- left ");
    // Notes on a terminal break between words, never inside one.
    EXPECT_EQ(console::RunView::Wrapped("The modem status of this line cannot be read (no DSR): "
                                        "the boot loader is assumed to be running.",
                                        40),
              "The modem status of this line cannot be\nread (no DSR): the boot loader is\n"
              "assumed to be running.");
    EXPECT_EQ(console::RunView::Wrapped("a /very/long/path/to/a/tty b", 10),
              "a\n/very/long/path/to/a/tty\nb");
    EXPECT_EQ(console::RunView::Summary(2049, 32768, 8420),
              "2049 rows, 32768 data bytes in 8.4 s, 243 rows/s");
}

TEST(ConsoleBar, ATerminalGetsOneLineRedrawnInPlaceAndAPipePlainLines) {
    fw::host::VirtualClock clock(0, 0);
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

TEST(ConsolePorts, MappedPortsKeepTheirNumbersAndFoundTtysTakeTheLowestFree) {
    TempDir dir;
    for (const char* name : {"ttyACM1", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSBx", "ttyS0"}) {
        dir.write(name, "");
    }
    const std::vector<std::string> found = console::FindSerialTtys(dir.path(""));
    EXPECT_EQ(found, (std::vector<std::string>{dir.path("ttyUSB2"), dir.path("ttyUSB10"),
                                               dir.path("ttyACM0"), dir.path("ttyACM1")}));

    console::HostPorts ports;
    std::string error;
    ASSERT_TRUE(console::NumberPorts({{2, "/m"}, {4, dir.path("ttyACM0")}}, found,
                                     {dir.path("ttyUSB10"), "/dev/pts/9", "/m"}, &ports, &error));
    EXPECT_EQ(ports.table.pathFor(1), dir.path("ttyUSB2"));
    EXPECT_EQ(ports.table.pathFor(2), "/m");
    EXPECT_EQ(ports.table.pathFor(3), dir.path("ttyUSB10"));
    EXPECT_EQ(ports.table.pathFor(4), dir.path("ttyACM0")); // not numbered twice
    EXPECT_EQ(ports.table.pathFor(5), dir.path("ttyACM1"));
    EXPECT_EQ(ports.numberOfPortPath(dir.path("ttyUSB10")), 3);
    // Several --port paths: a new one takes the lowest free number, a mapped one keeps its own.
    EXPECT_EQ(ports.numberOfPortPath("/dev/pts/9"), 6);
    EXPECT_EQ(ports.table.pathFor(6), "/dev/pts/9");
    EXPECT_EQ(ports.numberOfPortPath("/m"), 2);
    EXPECT_EQ(ports.numberOfPortPath("/not/given"), 0);

    // Twelve taken: the thirteenth tty has no number, and a --port path finds none either.
    std::vector<std::string> many;
    for (int i = 0; i < 13; ++i) {
        many.push_back("/dev/ttyUSB" + std::to_string(i));
    }
    console::HostPorts full;
    EXPECT_FALSE(console::NumberPorts({}, many, {"/elsewhere"}, &full, &error));
    EXPECT_NE(error.find("no COM number is free"), std::string::npos);
    EXPECT_EQ(full.unnumbered, std::vector<std::string>{"/dev/ttyUSB12"});
}

TEST(ConsoleSettings, TheSettingsFileKeepsOtherLinesAndTheDialogsNames) {
    TempDir dir;
    const std::string path = dir.path("a/b/settings");
    console::FileProfile profile(path);
    EXPECT_EQ(console::ReadRememberedPort(profile), 0);
    ASSERT_TRUE(console::RememberPort(profile, 5));
    EXPECT_EQ(profile.getProfileInt("Settings", "ComPort", -1), 5);
    dir.write("a/b/settings", "# mine\n[Other]\nComPort=9\n[Settings]\nX=1\nComPort=5\n");
    ASSERT_TRUE(console::RememberPort(profile, 7));
    ASSERT_TRUE(profile.writeProfileInt("Other", "Y", 2));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Contents(f), "# mine\n[Other]\nComPort=9\nY=2\n[Settings]\nX=1\nComPort=7\n");
    std::fclose(f);
    dir.write("a/b/settings", "[Settings]\nComPort=seven\n");
    EXPECT_EQ(console::ReadRememberedPort(profile), 0);

    // On Windows the same value of the dialog's registry key.
    fw::host::MemoryProfile registry;
    ASSERT_TRUE(console::RememberPort(registry, 3));
    EXPECT_EQ(registry.root(), "software\\Fenmoor Systems\\KeystrandUpdate");
    EXPECT_EQ(registry.getProfileInt("Settings", "ComPort", -1), 3);

    ::setenv("KEYSTRAND_UPDATE_SETTINGS", "/x/s", 1);
    EXPECT_EQ(console::FileProfile::DefaultPath(), "/x/s");
    ::unsetenv("KEYSTRAND_UPDATE_SETTINGS");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(console::FileProfile::DefaultPath(), "/cfg/keystrand-update/settings");
    ::unsetenv("XDG_CONFIG_HOME");
}

// A line that answers from a script, optionally without modem lines, and blocks (on the
// virtual clock) for as long as its read time-out asks when nothing is there.
class ScriptedComm : public fw::Comm {
public:
    explicit ScriptedComm(fw::host::VirtualClock& clock) : m_clock(clock) {}
    std::string pending;
    bool modemLines = true;
    bool readFails = false;
    DWORD lastWait = 0; // the longest read time-out asked for
    int reads = 0;

    HANDLE createFile(const char*) override { return reinterpret_cast<HANDLE>(0x10); }
    BOOL closeHandle(HANDLE) override { return TRUE; }
    BOOL setupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL setCommTimeouts(HANDLE, const COMMTIMEOUTS* t) override {
        m_wait = t->ReadTotalTimeoutMultiplier == MAXDWORD ? t->ReadTotalTimeoutConstant : 0;
        lastWait = std::max(lastWait, m_wait);
        return TRUE;
    }
    BOOL setCommState(HANDLE, const DCB*) override { return TRUE; }
    BOOL setCommMask(HANDLE, DWORD) override { return TRUE; }
    BOOL escapeCommFunction(HANDLE, DWORD) override { return modemLines ? TRUE : FALSE; }
    BOOL purgeComm(HANDLE, DWORD) override { return TRUE; }
    BOOL clearCommError(HANDLE, DWORD* e, COMSTAT* s) override {
        *e = 0;
        s->cbInQue = static_cast<DWORD>(pending.size());
        return TRUE;
    }
    BOOL readFile(HANDLE, void* b, DWORD n, DWORD* r) override {
        reads++;
        *r = 0;
        if (readFails) {
            return FALSE;
        }
        if (pending.empty()) {
            m_clock.advance(m_wait); // blocked until the time-out
            return TRUE;
        }
        *r = std::min<DWORD>(n, static_cast<DWORD>(pending.size()));
        std::memcpy(b, pending.data(), *r);
        pending.erase(0, *r);
        return TRUE;
    }
    BOOL writeFile(HANDLE, const void*, DWORD n, DWORD* w) override {
        *w = n;
        return TRUE;
    }
    BOOL getCommModemStatus(HANDLE, DWORD* s) override {
        *s = 0;
        return modemLines ? TRUE : FALSE;
    }

private:
    fw::host::VirtualClock& m_clock;
    DWORD m_wait = 0;
};

TEST(ConsoleWaits, EachWaitBlocksInSlicesAndEndsOnACharacterTheLimitOrAStop) {
    fw::host::VirtualClock clock(0, 0);
    ScriptedComm line(clock);
    CSerialPort serialPort(&line);
    ASSERT_TRUE(serialPort.Open(3, 115200, 'N', 8, 1));
    serial::SerialPortLine port(serialPort, 3, clock);
    bool stop = false;
    int idles = 0;
    console::BlockingWaits waits(
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
    EXPECT_EQ(line.lastWait, console::BlockingWaits::kSliceMs);
    EXPECT_EQ(idles, 20);
    EXPECT_EQ(clock.now(), 2000u);

    // The last slice is cut to what is left of the limit.
    const DWORD start = clock.now();
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

TEST(ConsoleTrace, HeaderRowsByNumberNoModemNoiseAndTheOutcome) {
    TempDir dir;
    fw::host::VirtualClock clock(5000, 0);
    ScriptedComm line(clock);
    line.modemLines = false;
    {
        console::Trace trace(line, clock);
        ASSERT_TRUE(trace.open(dir.path("t.log"), "keystrand-update 2.0.0.9 trace\nport COM2"));
        HANDLE h = trace.createFile("\\\\.\\COM2");
        DCB dcb{};
        dcb.BaudRate = 115200;
        dcb.ByteSize = 8;
        trace.setCommState(h, &dcb);
        DWORD status = 0;
        trace.getCommModemStatus(h, &status);
        trace.getCommModemStatus(h, &status); // unchanged: not logged again
        clock.advance(1250);
        DWORD n = 0;
        trace.writeFile(h, "#&!KYST-SM35", 12, &n);
        line.pending = "KYST\r?\x11";
        char buffer[8];
        trace.readFile(h, buffer, sizeof buffer, &n);
        trace.stageChanged(update::Stage::kAwaitingXon);
        trace.writeFile(h, ":00000001FF", 11, &n);
        trace.rowSent(1, 1, 11);
        trace.stageChanged(update::Stage::kAwaitingFileComplete);
        clock.advance(30);
        line.pending = "@";
        trace.readFile(h, buffer, 1, &n);
        trace.escapeCommFunction(h, CLRDTR);
        trace.escapeCommFunction(h, CLRRTS);
        trace.closeHandle(h);
        trace.close("updated (exit code 0)");
    }
    std::FILE* f = std::fopen(dir.path("t.log").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Contents(f), "# keystrand-update 2.0.0.9 trace\n"
                           "# port COM2\n"
                           "     0.000 open \\\\.\\COM2 ok\n"
                           "     0.000 line 115200 8N1\n"
                           "     0.000 modem status unavailable\n"
                           "     1.250 tx \"#&!KYST-SM35\"\n"
                           "     1.250 rx \"KYST\\r?\\x11\"\n"
                           "     1.250 tx row 1 \":00000001FF\"\n"
                           "     1.280 rx \"@\"\n"
                           "     1.280 close\n"
                           "     1.280 end\n"
                           "# outcome: updated (exit code 0)\n");
    std::fclose(f);
}

} // namespace

// The console driver in process against the device model, and the driver's pieces one by one.
// In process the device has DSR, so the application-firmware road and its failures show here.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "app/ProgramNames.h"
#include "console/ConsoleRun.h"
#include "console/ExitCodes.h"
#include "console/HexCheck.h"
#include "console/Options.h"
#include "console/Outcome.h"
#include "console/ProgressView.h"
#include "console/TraceComm.h"
#include "console/posix/FileProfile.h"
#include "console/posix/TtyPorts.h"
#include "fw/host/MemoryPortMap.h"
#include "fw/host/MemoryProfile.h"
#include "fw/host/VirtualClock.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/InProcessComm.h"
#include "support/TempDir.h"

namespace {

using console::ExitCode;

std::string HexFile(int dataRows) {
    std::string text;
    for (int r = 0; r < dataRows; ++r) {
        std::vector<std::uint8_t> data(16, static_cast<std::uint8_t>(r + 1));
        text += sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

// What a file stream received, read back whole.
std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

// The platform with the device model on COM3, a virtual clock and settings in memory.
class SimPlatform : public console::Platform {
public:
    SimPlatform(sim::DeviceConfig config, const std::string& dir)
        : device(config), line(ticks, device, {"\\\\.\\COM3"}), m_dir(dir) {
        map.add("\\Device\\Serial2", "COM3");
        map.add("\\Device\\Serial6", "COM7");
    }
    fw::Comm& comm() override { return line; }
    fw::Clock& clock() override { return ticks; }
    fw::PortMap& portMap() override { return map; }
    fw::Profile& profile() override { return settings; }
    std::string programDir() override { return m_dir; }
    std::string folderPrefix(const std::string& folder) override { return folder + "/"; }
    std::vector<console::PortListing> ports() override {
        return {{3, "sim3", ""}, {7, "sim7", ""}};
    }
    int resolvePort(const std::string& text, std::string*) override {
        return console::ComNumberFromText(text);
    }
    std::string settingsPlace() override { return "memory"; }
    bool isTerminal(std::FILE*) override { return false; }

    fw::host::VirtualClock ticks{0, 1};
    sim::DeviceModel device;
    sim::InProcessComm line;
    fw::host::MemoryPortMap map;
    fw::host::MemoryProfile settings;

private:
    std::string m_dir;
};

sim::DeviceConfig ApplicationFirmware(std::initializer_list<const char*> faults = {}) {
    sim::DeviceConfig config;
    config.mode = sim::Mode::ApplicationFirmware;
    for (const char* entry : faults) {
        sim::Fault fault;
        std::string error;
        EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << error;
        config.faults.push_back(fault);
    }
    return config;
}

class ConsoleInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        out = std::tmpfile();
        err = std::tmpfile();
        ASSERT_NE(out, nullptr);
        ASSERT_NE(err, nullptr);
        folder.write("Keystrand_SM.txt", "2.10\r\nupd.hex\r\n");
        folder.write("upd.hex", HexFile(9));
    }
    void TearDown() override {
        std::fclose(out);
        std::fclose(err);
    }

    int update(SimPlatform& p, const std::string& port) {
        console::Options options;
        options.port = port;
        return console::RunUpdate(options, p, out, err);
    }

    TempDir folder;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
};

TEST_F(ConsoleInProcess, TheApplicationFirmwareIsTalkedIntoItsBootLoaderWhenDsrIsUp) {
    SimPlatform p(ApplicationFirmware(), folder.dir());
    ASSERT_EQ(update(p, "COM3"), console::kExitSuccess) << Contents(err);
    EXPECT_EQ(p.device.log().received().substr(0, 4), "<V<W");
    EXPECT_EQ(p.line.baudHistory().front(), 9600u);
    EXPECT_EQ(p.line.baudHistory().back(), 115200u);
    sim::Image expected;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexText(HexFile(9), &expected, &error));
    EXPECT_EQ(p.device.image(), expected);
    p.settings.setRegistryKey(COMPANY_NAME, console::kSettingsAppName);
    EXPECT_EQ(p.settings.getProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, -1), 3);
    EXPECT_EQ(p.settings.root(), "software\\" COMPANY_NAME "\\" PROGRAM_NAME);
    EXPECT_NE(Contents(out).find("Row progress  10/10 rows  100%"), std::string::npos);
}

TEST_F(ConsoleInProcess, AnApplicationFirmwareThatDoesNotIdentifyItselfIsADeviceEntryFailure) {
    SimPlatform p(ApplicationFirmware({"identity:none"}), folder.dir());
    EXPECT_EQ(update(p, "COM3"), console::kExitDeviceEntry);
    EXPECT_EQ(Contents(err), "Firmware Update Error:\n    Cannot find a Keystrand SM.\n");
    EXPECT_NE(Contents(out).find("Cannot find a Keystrand SM.\n"), std::string::npos);
    EXPECT_FALSE(p.settings.has(SETTINGS_SECTION, SETTINGS_PORT_ENTRY));
    EXPECT_FALSE(p.line.isOpen());
}

TEST_F(ConsoleInProcess, DsrThatStaysUpAfterTheRestartIsADeviceEntryFailure) {
    SimPlatform p(ApplicationFirmware({"restart:keep-dsr"}), folder.dir());
    EXPECT_EQ(update(p, "COM3"), console::kExitDeviceEntry);
    EXPECT_NE(Contents(err).find("Invalid response from the Keystrand SM."), std::string::npos);
}

TEST_F(ConsoleInProcess, TheRememberedPortIsPreferredAndOtherwiseSeveralPortsAreRefused) {
    {
        SimPlatform p(ApplicationFirmware(), folder.dir());
        EXPECT_EQ(update(p, ""), console::kExitPort);
        EXPECT_NE(Contents(err).find("COM3 (sim3), COM7 (sim7). Choose one with --port."),
                  std::string::npos);
        EXPECT_EQ(p.device.log().received(), "");
    }
    SimPlatform p(ApplicationFirmware(), folder.dir());
    p.settings.setRegistryKey(COMPANY_NAME, PROGRAM_NAME);
    p.settings.writeProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, 3);
    EXPECT_EQ(update(p, ""), console::kExitSuccess);
}

TEST(ConsoleOutcome, EveryMessageOfTheDialogHasItsClass) {
    struct Case {
        const char* caption;
        const char* text;
        ExitCode code;
    };
    const Case cases[] = {
        {"Firmware Update Complete", "The Keystrand SM firmware has been successfully updated.",
         console::kExitSuccess},
        {"Keystrand SM Update", "Unable to open the firmware hex file:", console::kExitPackage},
        {PROGRAM_NAME, "There are no serial ports installed on this computer.     ",
         console::kExitPort},
        {"Firmware Update Error", "Unable to open serial port COM3               ",
         console::kExitPort},
        {"Firmware Update Error", "Cannot find a Keystrand SM.               ",
         console::kExitDeviceEntry},
        {"Firmware Update Error", "Invalid response from the Keystrand SM.               ",
         console::kExitDeviceEntry},
        {"Firmware Update Error", "No response from the Keystrand SM.     \n\nFirmware...",
         console::kExitTransfer},
        {"Firmware Update Error", "Invalid data in hex file.     \n\n", console::kExitTransfer},
        {"Something else", "text", console::kExitOther},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(console::ExitCodeOfMessage(c.caption, c.text), c.code) << c.text;
    }
    EXPECT_EQ(console::TidyMessageText("A.     \n     b     \n\nc\n\n\n"), "A.\n     b\n\nc\n");
}

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
    for (std::vector<std::string> bad : {std::vector<std::string>{"--port", "1", "--port", "2"},
                                         {"--map", "COM13=/x"},
                                         {"--map", "COM2="},
                                         {"--map", "COM2=/a", "--map", "COM2=/b"},
                                         {"--check=yes"},
                                         {"--trace"},
                                         {"--package="},
                                         {"extra"}}) {
        EXPECT_FALSE(console::ParseOptions(bad, &o, &error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(console::ComNumberFromText("COM3"), 3);
    EXPECT_EQ(console::ComNumberFromText("com12"), 12);
    EXPECT_EQ(console::ComNumberFromText("\\\\.\\COM7"), 7);
    EXPECT_EQ(console::ComNumberFromText("9"), 9);
    for (const char* bad : {"COM0", "COM03", "COM", "COM3x", "/dev/ttyUSB0", "256", ""}) {
        EXPECT_EQ(console::ComNumberFromText(bad), 0) << bad;
    }
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
                                     dir.path("ttyUSB10"), &ports, &error));
    EXPECT_EQ(ports.table.pathFor(1), dir.path("ttyUSB2"));
    EXPECT_EQ(ports.table.pathFor(2), "/m");
    EXPECT_EQ(ports.table.pathFor(3), dir.path("ttyUSB10"));
    EXPECT_EQ(ports.table.pathFor(4), dir.path("ttyACM0")); // not numbered twice
    EXPECT_EQ(ports.table.pathFor(5), dir.path("ttyACM1"));
    EXPECT_EQ(ports.portPathNumber, 3);

    fw::host::MemoryPortMap map;
    console::FillPortMap(ports, &map);
    ASSERT_EQ(map.values.size(), 5u);
    EXPECT_EQ(map.values[1].name, "\\Device\\m");
    EXPECT_EQ(map.values[1].data, "COM2");

    // Twelve taken: the thirteenth tty has no number, and a --port path finds none either.
    std::vector<std::string> many;
    for (int i = 0; i < 13; ++i) {
        many.push_back("/dev/ttyUSB" + std::to_string(i));
    }
    console::HostPorts full;
    EXPECT_FALSE(console::NumberPorts({}, many, "/elsewhere", &full, &error));
    EXPECT_NE(error.find("no COM number is free"), std::string::npos);
    EXPECT_EQ(full.unnumbered, std::vector<std::string>{"/dev/ttyUSB12"});
}

TEST(ConsoleSettings, TheSettingsFileKeepsOtherLinesAndCreatesItsFolders) {
    TempDir dir;
    const std::string path = dir.path("a/b/settings");
    console::FileProfile profile(path);
    EXPECT_EQ(profile.getProfileInt("Settings", "ComPort", -1), -1);
    ASSERT_TRUE(profile.writeProfileInt("Settings", "ComPort", 5));
    EXPECT_EQ(profile.getProfileInt("Settings", "ComPort", -1), 5);
    dir.write("a/b/settings", "# mine\n[Other]\nComPort=9\n[Settings]\nX=1\nComPort=5\n");
    ASSERT_TRUE(profile.writeProfileInt("Settings", "ComPort", 7));
    ASSERT_TRUE(profile.writeProfileInt("Other", "Y", 2));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Contents(f), "# mine\n[Other]\nComPort=9\nY=2\n[Settings]\nX=1\nComPort=7\n");
    std::fclose(f);
    EXPECT_EQ(profile.getProfileInt("Other", "ComPort", -1), 9);
    dir.write("a/b/settings", "[Settings]\nComPort=seven\n");
    EXPECT_EQ(profile.getProfileInt("Settings", "ComPort", -1), -1);

    ::setenv("KEYSTRAND_UPDATE_SETTINGS", "/x/s", 1);
    EXPECT_EQ(console::FileProfile::DefaultPath(), "/x/s");
    ::unsetenv("KEYSTRAND_UPDATE_SETTINGS");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(console::FileProfile::DefaultPath(), "/cfg/keystrand-update/settings");
    ::unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home != nullptr ? home : "";
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(console::FileProfile::DefaultPath(), "/home/u/.config/keystrand-update/settings");
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(ConsoleProgress, PlainLinesAtEachTenthAndTheLastRowWithRateAndTimeLeft) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    fw::host::VirtualClock clock(0, 0);
    console::ProgressView view(out, out, false, clock);
    view.itemText(1010, "");
    for (int row = 2; row <= 40; row += 2) {
        view.itemText(1010, "Sending hex file row  " + std::to_string(row) + "  of  41");
        clock.advance(100); // two rows each tenth of a second: 20 rows/s
    }
    view.itemText(1010, "Sending hex file row  41  of  41");
    view.itemText(1011, "Keystrand SM firmware successfully updated");
    view.itemText(1011, "Keystrand SM firmware successfully updated");
    EXPECT_EQ(Contents(out), "Row progress  2/41 rows    4%  -- rows/s  --:-- left\n"
                             "Row progress  6/41 rows   14%  20.0 rows/s  0:02 left\n"
                             "Row progress  10/41 rows   24%  20.0 rows/s  0:02 left\n"
                             "Row progress  14/41 rows   34%  20.0 rows/s  0:02 left\n"
                             "Row progress  18/41 rows   43%  20.0 rows/s  0:02 left\n"
                             "Row progress  22/41 rows   53%  20.0 rows/s  0:01 left\n"
                             "Row progress  26/41 rows   63%  20.0 rows/s  0:01 left\n"
                             "Row progress  30/41 rows   73%  20.0 rows/s  0:01 left\n"
                             "Row progress  34/41 rows   82%  20.0 rows/s  0:01 left\n"
                             "Row progress  38/41 rows   92%  20.0 rows/s  0:01 left\n"
                             "Row progress  41/41 rows  100%  19.5 rows/s  0:00 left\n"
                             "Keystrand SM firmware successfully updated\n");
    std::fclose(out);
}

TEST(ConsoleProgress, OnATerminalOneBarIsRedrawnInPlace) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    fw::host::VirtualClock clock(0, 0);
    console::ProgressView view(out, out, true, clock);
    view.itemText(1010, "Sending hex file row  2  of  4");
    clock.advance(1000);
    view.itemText(1010, "Sending hex file row  4  of  4");
    view.itemText(1011, "done");
    EXPECT_EQ(Contents(out),
              "\r[###############...............]  2/4 rows   50%  -- rows/s  --:-- left"
              "\r[##############################]  4/4 rows  100%  2.0 rows/s  "
              "0:00 left\ndone\n");
    std::fclose(out);
}

// Records what passes through it, and plays a device that answers at once.
class ScriptedComm : public fw::Comm {
public:
    std::string pending;
    HANDLE createFile(const char*) override { return reinterpret_cast<HANDLE>(0x10); }
    BOOL closeHandle(HANDLE) override { return TRUE; }
    BOOL setupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL setCommTimeouts(HANDLE, const COMMTIMEOUTS*) override { return TRUE; }
    BOOL setCommState(HANDLE, const DCB*) override { return TRUE; }
    BOOL setCommMask(HANDLE, DWORD) override { return TRUE; }
    BOOL escapeCommFunction(HANDLE, DWORD) override { return TRUE; }
    BOOL purgeComm(HANDLE, DWORD) override { return TRUE; }
    BOOL clearCommError(HANDLE, DWORD* e, COMSTAT* s) override {
        *e = 0;
        s->cbInQue = static_cast<DWORD>(pending.size());
        return TRUE;
    }
    BOOL readFile(HANDLE, void* b, DWORD n, DWORD* r) override {
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
        *s = dsr ? MS_DSR_ON : 0;
        return TRUE;
    }
    bool dsr = true;
};

TEST(ConsoleTrace, EveryCharacterBothWaysWithItsTime) {
    TempDir dir;
    ScriptedComm line;
    fw::host::VirtualClock clock(5000, 0);
    {
        console::TraceComm trace(line, clock);
        ASSERT_TRUE(trace.openLog(dir.path("t.log")));
        HANDLE h = trace.createFile("\\\\.\\COM2");
        DCB dcb{};
        dcb.BaudRate = 9600;
        dcb.ByteSize = 8;
        trace.setCommState(h, &dcb);
        DWORD status = 0;
        trace.getCommModemStatus(h, &status);
        trace.getCommModemStatus(h, &status); // unchanged: not logged again
        clock.advance(1250);
        DWORD n = 0;
        trace.writeFile(h, "<V", 2, &n);
        line.pending = "\rKYST\x11\"\\";
        char c = 0;
        for (int i = 0; i < 8; ++i) {
            DWORD errors = 0;
            COMSTAT st{};
            trace.clearCommError(h, &errors, &st);
            trace.readFile(h, &c, 1, &n);
        }
        clock.advance(30);
        line.dsr = false;
        trace.getCommModemStatus(h, &status);
        trace.escapeCommFunction(h, CLRDTR);
        trace.closeHandle(h);
    }
    std::FILE* f = std::fopen(dir.path("t.log").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Contents(f), "     0.000 trace started\n"
                           "     0.000 open \\\\.\\COM2 ok\n"
                           "     0.000 line 9600 8N1\n"
                           "     0.000 dsr on\n"
                           "     1.250 tx \"<V\"\n"
                           "     1.250 rx \"\\rKYST\\x11\\\"\\\\\"\n"
                           "     1.280 dsr off\n"
                           "     1.280 escape CLRDTR\n"
                           "     1.280 close\n");
    std::fclose(f);
}

TEST(ConsoleHexCheck, CountsRowsRecordsAndBytes) {
    TempDir dir;
    dir.write("ok.hex", HexFile(3));
    const console::HexCheckResult r = console::CheckHexFile(dir.path("ok.hex"));
    EXPECT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.rows, 4);
    EXPECT_EQ(r.dataRecords, 3);
    EXPECT_EQ(r.dataBytes, 48);
    EXPECT_EQ(r.endOfFileRow, 4);
    dir.write("after.hex", HexFile(1) + HexFile(1));
    const console::HexCheckResult after = console::CheckHexFile(dir.path("after.hex"));
    EXPECT_FALSE(after.ok);
    EXPECT_EQ(after.badRow, 3);
    EXPECT_EQ(after.problem, "row 3 follows the end-of-file record");
    dir.write("empty.hex", "");
    EXPECT_EQ(console::CheckHexFile(dir.path("empty.hex")).problem, "the HEX file has no rows");
    EXPECT_EQ(console::CheckHexFile(dir.path("none.hex")).problem, "the HEX file cannot be opened");
}

} // namespace

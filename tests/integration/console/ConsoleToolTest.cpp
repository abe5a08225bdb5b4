// keystrand-update as a process against keystrand-sim on a pty, with its exit codes and outputs.
// Updates, failures, the package check, the port listing and the remembered port.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/ProgramNames.h"
#include "integration/sim/ToolProcess.h"
#include "sim/HexImage.h"
#include "support/TempDir.h"

namespace {

using simtool::Child;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

// A HEX file of dataRows 16-byte data records and the end-of-file record, CR LF line ends.
std::string HexFile(int dataRows, std::uint32_t base = 0) {
    std::string text;
    if (base != 0) {
        text += sim::MakeHexRow(intelhex::kExtendedLinearAddress, 0,
                                {static_cast<std::uint8_t>(base >> 24),
                                 static_cast<std::uint8_t>(base >> 16)}) +
                "\r\n";
    }
    for (int r = 0; r < dataRows; ++r) {
        std::vector<std::uint8_t> data(16);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>((r * 31 + static_cast<int>(i) * 7 + 5) & 0xFF);
        }
        text += sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

// The built program, beside this test's build folder.
std::string UpdaterPath() {
    const std::string sim = simtool::ToolPath(); // <build>/tests/../tools/keystrand-sim/...
    return sim.substr(0, sim.find("/../tools/")) + "/../src/console/keystrand-update";
}

class ConsoleTool : public ::testing::Test {
protected:
    void SetUp() override {
        simPath = simtool::ToolPath();
        updater = UpdaterPath();
        ASSERT_EQ(::access(simPath.c_str(), X_OK), 0) << "keystrand-sim not built at " << simPath;
        ASSERT_EQ(::access(updater.c_str(), X_OK), 0)
            << "keystrand-update not built at " << updater;
        ::mkdir(dir.path("pkg").c_str(), 0755);
        ::mkdir(dir.path("dev").c_str(), 0755);
        settings = dir.path("config/settings");
        // The program finds its settings and its ttys here, never in the real home or /dev.
        ::setenv("KEYSTRAND_UPDATE_SETTINGS", settings.c_str(), 1);
        ::setenv("KEYSTRAND_UPDATE_DEV_DIR", dir.path("dev").c_str(), 1);
    }

    void writePackage(const std::string& hex, const std::string& hexName = "firmware.hex") {
        hexText = hex;
        dir.write("pkg/Keystrand_SM.txt", "2.10\r\n" + hexName + "\r\n");
        dir.write("pkg/" + hexName, hex);
    }

    // A simulated device whose line appears at link; its image and status beside it.
    struct Device {
        Child child;
        std::string link, image, status;
    };

    void startDevice(Device& d, const std::string& link, std::vector<std::string> extra = {}) {
        d.link = link;
        d.image = link + ".image";
        d.status = link + ".status";
        std::vector<std::string> args = {simPath, "--link",        d.link,   "--image-out",
                                         d.image, "--status-file", d.status, "--max-seconds",
                                         "120",   "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(d.child.start(args, link + ".out", link + ".err"));
        ASSERT_TRUE(WaitFor([&] { return ReadWholeFile(link + ".out") == link + "\n"; }))
            << "the device did not start: " << ReadWholeFile(link + ".err");
    }

    int stopDevice(Device& d) {
        d.child.signal(SIGTERM);
        return d.child.wait();
    }

    // Runs keystrand-update with the arguments; its output is kept in out and err.
    int run(std::vector<std::string> args,
            simtool::Clock::duration limit = std::chrono::seconds(30)) {
        args.insert(args.begin(), updater);
        Child program;
        if (!program.start(args, dir.path("update.out"), dir.path("update.err"))) {
            return -2;
        }
        const int code = program.wait(limit);
        out = ReadWholeFile(dir.path("update.out"));
        err = ReadWholeFile(dir.path("update.err"));
        return code;
    }

    std::string pkg() const { return dir.path("pkg"); }

    void expectImageEqualsFile(const Device& d) {
        sim::Image flashed;
        sim::Image expected;
        std::string error;
        ASSERT_TRUE(sim::ImageFromHexFile(d.image, &flashed, &error)) << error;
        ASSERT_TRUE(sim::ImageFromHexText(hexText, &expected, &error)) << error;
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(sim::DescribeImageDifference(flashed, expected), "");
    }

    TempDir dir;
    std::string simPath, updater, settings, hexText, out, err;
};

TEST_F(ConsoleTool, UpdatesTheDeviceThroughAPortPathAndRemembersIt) {
    writePackage(HexFile(300, 0x00010000));
    Device d;
    startDevice(d, dir.path("line"));
    const std::string trace = dir.path("trace.log");
    ASSERT_EQ(run({"--package", pkg(), "--port", d.link, "--trace", trace}), 0) << out << "\n"
                                                                                << err;
    EXPECT_NE(out.find("Firmware version  =  2.10"), std::string::npos) << out;
    EXPECT_NE(out.find("Firmware file  =  firmware.hex"), std::string::npos) << out;
    EXPECT_NE(out.find("Updating through COM1 (" + d.link + ")"), std::string::npos) << out;
    EXPECT_NE(out.find("Boot loader version  =  KYST-SM-2.10"), std::string::npos) << out;
    EXPECT_NE(out.find("Row progress  302/302 rows  100%"), std::string::npos) << out;
    EXPECT_NE(out.find("Keystrand SM firmware successfully updated"), std::string::npos) << out;
    EXPECT_NE(out.find("Firmware Update Complete:\n    The Keystrand SM firmware has been "
                       "successfully updated.\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find('\r'), std::string::npos) << "plain lines when not on a terminal";
    EXPECT_EQ(err, "");
    EXPECT_EQ(ReadWholeFile(settings), "[" SETTINGS_SECTION "]\n" SETTINGS_PORT_ENTRY "=1\n");

    // Every character both ways, with its time.
    const std::string log = ReadWholeFile(trace);
    EXPECT_NE(log.find(" open \\\\.\\COM1 ok\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" line 9600 8N1\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" line 115200 8N1\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx \"#&!KYST-SM35\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx \"KYST-SM-2.10\\r?\\x11\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx \":00000001FF\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx \"@\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" close\n"), std::string::npos) << log;
    std::size_t rows = 0;
    for (std::size_t at = log.find(" tx \":"); at != std::string::npos;
         at = log.find(" tx \":", at + 1)) {
        rows++;
    }
    EXPECT_EQ(rows, 302u);

    ASSERT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "rows_accepted"), "302");
    expectImageEqualsFile(d);
}

TEST_F(ConsoleTool, ATtyFoundInTheDeviceFolderIsTheOnlyPortAndIsChosen) {
    writePackage(HexFile(20));
    Device d;
    startDevice(d, dir.path("dev/ttyUSB0"));
    ASSERT_EQ(run({"--package", pkg()}), 0) << out << "\n" << err;
    EXPECT_NE(out.find("Updating through COM1 (" + d.link + ")"), std::string::npos) << out;
    ASSERT_EQ(stopDevice(d), 0);
    expectImageEqualsFile(d);
}

TEST_F(ConsoleTool, ThePortIsChosenByItsComNumberAmongSeveralTtys) {
    writePackage(HexFile(12));
    Device usb;
    Device acm;
    startDevice(usb, dir.path("dev/ttyUSB0"));
    startDevice(acm, dir.path("dev/ttyACM0"));

    // Two ports and none remembered: the user must choose.
    EXPECT_EQ(run({"--package", pkg()}), 4) << out << "\n" << err;
    EXPECT_NE(err.find("Several serial ports are present and none is remembered: COM1 (" +
                       usb.link + "), COM2 (" + acm.link + "). Choose one with --port."),
              std::string::npos)
        << err;

    // COM2 is the first ACM tty after the USB ones.
    ASSERT_EQ(run({"--package", pkg(), "--port", "COM2"}), 0) << out << "\n" << err;
    EXPECT_EQ(ReadWholeFile(settings), "[" SETTINGS_SECTION "]\n" SETTINGS_PORT_ENTRY "=2\n");
    EXPECT_TRUE(WaitFor([&] { return StatusValue(acm.status, "file_complete") == "1"; }));
    EXPECT_EQ(StatusValue(usb.status, "opens"), "0");

    // Now COM2 is remembered and taken without --port.
    ASSERT_EQ(run({"--package", pkg()}), 0) << out << "\n" << err;
    EXPECT_NE(out.find("Updating through COM2 (" + acm.link + ")"), std::string::npos) << out;
    EXPECT_TRUE(WaitFor([&] { return StatusValue(acm.status, "file_completes") == "2"; }));
    EXPECT_EQ(StatusValue(usb.status, "opens"), "0");

    ASSERT_EQ(stopDevice(usb), 0);
    ASSERT_EQ(stopDevice(acm), 0);
    expectImageEqualsFile(acm);
}

TEST_F(ConsoleTool, ABootLoaderThatNeverGetsReadyIsATransferFailure) {
    writePackage(HexFile(8));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "ready:dead"});
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 6) << out << "\n" << err;
    EXPECT_NE(err.find("Firmware Update Error:\n    No ready response from the Keystrand SM.\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("    Firmware update terminated.\n"), std::string::npos) << err;
    EXPECT_NE(out.find("Firmware update failed\n"), std::string::npos) << out;
    EXPECT_FALSE(simtool::Exists(settings)) << "a failed update remembers no port";
    EXPECT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, AWrongAcknowledgementMidFileIsATransferFailure) {
    writePackage(HexFile(30));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "xoff@row=9:wrong=Z"});
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 6) << out << "\n" << err;
    EXPECT_NE(err.find("Invalid XOFF response from the Keystrand SM."), std::string::npos) << err;
    EXPECT_NE(out.find("Row progress"), std::string::npos) << out;
    EXPECT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "file_complete"), "0");
}

TEST_F(ConsoleTool, PortFailuresHaveTheirOwnExitCode) {
    writePackage(HexFile(4));
    // Nothing found and nothing given.
    EXPECT_EQ(run({"--package", pkg()}), 4);
    EXPECT_NE(err.find("No serial port found"), std::string::npos) << err;
    // A COM number that no tty holds.
    EXPECT_EQ(run({"--package", pkg(), "--port", "COM7"}), 4);
    EXPECT_NE(err.find("COM7 is not present"), std::string::npos) << err;
    // Beyond what the update reaches.
    EXPECT_EQ(run({"--package", pkg(), "--port", "COM13"}), 4);
    EXPECT_NE(err.find("COM1 to COM12 only"), std::string::npos) << err;
    // A mapped path with nothing behind it cannot be opened.
    EXPECT_EQ(run({"--package", pkg(), "--map", "COM3=" + dir.path("gone")}), 4);
    EXPECT_NE(err.find("Firmware Update Error:\n    Unable to open serial port COM3\n"),
              std::string::npos)
        << err;
    EXPECT_NE(out.find("Unable to open serial port COM3\n"), std::string::npos) << out;
    EXPECT_FALSE(simtool::Exists(settings));
}

TEST_F(ConsoleTool, AMissingPackageStopsBeforeAnyPortIsOpened) {
    Device d;
    startDevice(d, dir.path("line"));
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 3) << out << "\n" << err;
    EXPECT_NE(err.find("Keystrand SM Update:\n    Unable to open the firmware description file:"),
              std::string::npos)
        << err;
    // The description names a HEX file that is not there.
    dir.write("pkg/Keystrand_SM.txt", "2.10\r\nmissing.hex\r\n");
    EXPECT_EQ(run({"--package", pkg() + "/", "--port", d.link}), 3) << out << "\n" << err;
    EXPECT_NE(err.find("Unable to open the firmware hex file:\n         missing.hex\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "opens"), "0");
}

TEST_F(ConsoleTool, CheckPassesAGoodPackageWithoutTouchingAnyPort) {
    writePackage(HexFile(40, 0x00020000));
    Device d;
    startDevice(d, dir.path("dev/ttyUSB0"));
    EXPECT_EQ(run({"--check", "--package", pkg()}), 0) << out << "\n" << err;
    EXPECT_NE(out.find("HEX file: 42 rows, 40 data records with 640 bytes, end-of-file record at "
                       "row 42."),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Package check passed."), std::string::npos) << out;
    EXPECT_EQ(err, "");
    EXPECT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "opens"), "0");
}

TEST_F(ConsoleTool, CheckRefusesBadFilesAndNamesTheRow) {
    std::string hex = HexFile(10);
    // Row 7's checksum spoiled: the first character after the colon stays, the last changes.
    std::size_t at = 0;
    for (int row = 1; row < 7; ++row) {
        at = hex.find("\r\n", at) + 2;
    }
    const std::size_t end = hex.find("\r\n", at);
    hex[end - 1] = hex[end - 1] == '0' ? '1' : '0';
    writePackage(hex);
    EXPECT_EQ(run({"--check", "--package", pkg()}), 3);
    EXPECT_NE(err.find("Package check failed: row 7 is not a valid Intel-HEX record.\n    " +
                       hex.substr(at, end - at) + "\n"),
              std::string::npos)
        << err;

    writePackage(HexFile(3).substr(0, HexFile(3).find(":00000001FF")));
    EXPECT_EQ(run({"--check", "--package", pkg()}), 3);
    EXPECT_NE(err.find("does not end with the end-of-file record"), std::string::npos) << err;

    writePackage(HexFile(3) + "\r\n");
    EXPECT_EQ(run({"--check", "--package", pkg()}), 3);
    EXPECT_NE(err.find("row 5 is not a valid Intel-HEX record"), std::string::npos) << err;

    dir.remove("pkg/Keystrand_SM.txt");
    EXPECT_EQ(run({"--check", "--package", pkg()}), 3);
    EXPECT_NE(err.find("Unable to open the firmware description file"), std::string::npos) << err;
}

TEST_F(ConsoleTool, ListPortsShowsTheTtysFoundAndTheMappedPortsWithTheirNumbers) {
    Device usb;
    Device acm;
    Device mapped;
    startDevice(usb, dir.path("dev/ttyUSB3"));
    startDevice(acm, dir.path("dev/ttyACM0"));
    startDevice(mapped, dir.path("line"));
    dir.write("dev/ttyS0", ""); // not a USB serial tty: never listed, never opened
    ASSERT_EQ(run({"--list-ports", "--map", "COM1=" + mapped.link}), 0) << err;
    EXPECT_EQ(out, "COM1   " + mapped.link + "   (--map)\n" + "COM2   " + usb.link + "\n" +
                       "COM3   " + acm.link + "\n" + "Remembered port: none (kept in " + settings +
                       ")\n");

    ::mkdir(dir.path("config").c_str(), 0700);
    dir.write("config/settings", "[" SETTINGS_SECTION "]\n" SETTINGS_PORT_ENTRY "=3\n");
    const std::string other = dir.path("other");
    ASSERT_EQ(run({"--list-ports", "--port", other}), 0) << err;
    EXPECT_EQ(out, "COM1   " + usb.link + "\n" + "COM2   " + acm.link + "\n" + "COM3   " + other +
                       "   (--port)   [remembered]\n" + "Remembered port: COM3 (kept in " +
                       settings + ")\n");
    for (Device* d : {&usb, &acm, &mapped}) {
        EXPECT_EQ(stopDevice(*d), 0);
        EXPECT_EQ(StatusValue(d->status, "opens"), "0");
    }
}

TEST_F(ConsoleTool, TheCommandLineIsCheckedAndTheHelpNamesEveryExitCode) {
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_NE(err.find("unknown argument \"--bogus\""), std::string::npos) << err;
    EXPECT_EQ(run({"--port"}), 2);
    EXPECT_EQ(run({"--map", "COM0=/x"}), 2);
    EXPECT_EQ(run({"--check", "--list-ports"}), 2);
    writePackage(HexFile(2));
    EXPECT_EQ(run({"--package", pkg(), "--trace", dir.path("no/such/folder/trace")}), 2);
    EXPECT_NE(err.find("cannot create the trace file"), std::string::npos) << err;

    ASSERT_EQ(run({"--help"}), 0);
    for (const char* text :
         {"--package DIR", "--port PORT", "--trace FILE", "--check", "--list-ports",
          "--map COMn=PATH", "KEYSTRAND_UPDATE_SETTINGS", "KEYSTRAND_UPDATE_DEV_DIR"}) {
        EXPECT_NE(out.find(text), std::string::npos) << text;
    }
    for (const char* code :
         {"\n  0  success", "\n  1  ", "\n  2  bad command line", "\n  3  package", "\n  4  port",
          "\n  5  device entry", "\n  6  transfer"}) {
        EXPECT_NE(out.find(code), std::string::npos) << code;
    }
}

} // namespace

// keystrand-update as a process against keystrand-sim on ptys: what it says and its exit code in
// each situation, a user's signals, and its progress on a terminal of a given width.
#include <climits>
#include <regex>

#include <grp.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "integration/console/ConsoleTestSupport.h"
#include "integration/console/ConsoleToolSupport.h"
#include "integration/sim/ToolProcess.h"
#include "sim/HexImage.h"
#include "support/TempDir.h"

namespace {

using consoletest::Columns;
using consoletest::ConsoleTool;
using consoletest::HexFile;
using consoletest::kIncomplete;
using consoletest::kNoModemStatus;
using consoletest::kUnchanged;
using consoletest::TerminalRun;
using consoletest::WithoutTimes;
using simtool::Child;
using simtool::ReadWholeFile;
using simtool::StatusValue;
using simtool::WaitFor;

TEST_F(ConsoleTool, UpdatesTheDeviceTellsWhatItDidAndTracesEveryRow) {
    writePackage(HexFile(29));
    Device d;
    startDevice(d, dir.path("line"));
    const std::string trace = dir.path("trace.log");
    ASSERT_EQ(run({"--package", pkg(), "--port", d.link, "--trace", trace}), 0) << out << err;
    EXPECT_EQ(WithoutTimes(out), "Firmware version \"2.10\", HEX file \"firmware.hex\"\n"
                                 "Updating the Keystrand SM through " +
                                     d.link + "\n" + kNoModemStatus +
                                     "Boot loader version KYST-SM-2.10\n"
                                     "Row 1 of 30 (3%)\n"
                                     "Row 3 of 30 (10%)\n"
                                     "Row 6 of 30 (20%)\n"
                                     "Row 9 of 30 (30%)\n"
                                     "Row 12 of 30 (40%)\n"
                                     "Row 15 of 30 (50%)\n"
                                     "Row 18 of 30 (60%)\n"
                                     "Row 21 of 30 (70%)\n"
                                     "Row 24 of 30 (80%)\n"
                                     "Row 27 of 30 (90%)\n"
                                     "Row 30 of 30 (100%)\n"
                                     "30 rows, 464 data bytes in T s, R rows/s\n"
                                     "The Keystrand SM firmware has been successfully updated.\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(ReadWholeFile(settings), "[Settings]\nPort=" + d.link + "\n");

    // A header, every character both ways with its time, the rows by number, and the outcome.
    const std::string log = ReadWholeFile(trace);
    EXPECT_TRUE(std::regex_search(log, std::regex("^# keystrand-update 2\\.0\\.0\\.9 trace, "
                                                  "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\n")))
        << log;
    EXPECT_NE(log.find("\n# port " + d.link + " = /dev/pts/"), std::string::npos) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("\n# HEX file " + pkg() +
                                                  "/firmware\\.hex, 1318 bytes, 30 rows, "
                                                  "SHA-256 [0-9a-f]{64}\n")))
        << log;
    EXPECT_NE(log.find(" open " + d.link + " at 9600 ok\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("\\\\.\\COM"), std::string::npos) << "the line by the name it was given";
    EXPECT_NE(log.find(" dsr unknown (no modem status)\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" speed 115200\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx \"#&!KYST-SM35\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx \"KYST-SM-2.10\\r?\\x11\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx row 1 \":10000000"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx row 30 \":00000001FF\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx \"@\"\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("CLRDTR"), std::string::npos) << "a pty has no modem lines: no noise";
    EXPECT_TRUE(std::regex_search(
        log, std::regex(" close\n +[0-9.]+ end\n# outcome: The Keystrand SM firmware has been "
                        "successfully updated\\. \\(exit code 0\\)\n$")))
        << log;

    ASSERT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "rows_accepted"), "30");
    expectImageEqualsFile(d);
}

TEST_F(ConsoleTool, ThePortIsGivenByItsPathOrRememberedAmongSeveralTtys) {
    writePackage(HexFile(12));
    Device usb;
    Device acm;
    startDevice(usb, dir.path("dev/ttyUSB0"));
    startDevice(acm, dir.path("dev/ttyACM0"));

    EXPECT_EQ(run({"--package", pkg()}), 4) << out << err;
    EXPECT_EQ(err, "keystrand-update: Several serial ports are present and none is remembered: " +
                       usb.link + ", " + acm.link + ". Choose one with --port.\n");

    ASSERT_EQ(run({"--package", pkg(), "--port", acm.link}), 0) << out << err;
    EXPECT_NE(out.find("Updating the Keystrand SM through " + acm.link + "\n"), std::string::npos)
        << out;
    EXPECT_EQ(ReadWholeFile(settings), "[Settings]\nPort=" + acm.link + "\n");

    // Now it is remembered and taken without --port.
    ASSERT_EQ(run({"--package", pkg()}), 0) << out << err;
    EXPECT_NE(out.find("Updating the Keystrand SM through " + acm.link + "\n"), std::string::npos)
        << out;
    EXPECT_TRUE(WaitFor([&] { return StatusValue(acm.status, "file_completes") == "2"; }));
    EXPECT_EQ(StatusValue(usb.status, "opens"), "0");

    // Windows' names mean nothing here; a path that leads nowhere is a port that is not there.
    EXPECT_EQ(run({"--package", pkg(), "--port", "COM7"}), 2);
    EXPECT_EQ(err, "keystrand-update: --port takes the port's path, such as /dev/ttyUSB0, not "
                   "\"COM7\"; --list-ports shows the ports present\n");
    EXPECT_EQ(run({"--package", pkg(), "--port", dir.path("dev/ttyUSB7")}), 4);
    EXPECT_NE(
        err.find("Cannot open the serial port " + dir.path("dev/ttyUSB7") + ": no such device."),
        std::string::npos)
        << err;
    ASSERT_EQ(stopDevice(usb), 0);
    ASSERT_EQ(stopDevice(acm), 0);
    expectImageEqualsFile(acm);
}

TEST_F(ConsoleTool, ABootLoaderThatNeverGetsReadyIsATransferFailureWithTheAssumptionSaid) {
    writePackage(HexFile(8));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "ready:dead"});
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 6) << out << err;
    EXPECT_EQ(out, "Firmware version \"2.10\", HEX file \"firmware.hex\"\n"
                   "Updating the Keystrand SM through " +
                       d.link + "\n" + kNoModemStatus +
                       "Boot loader version KYST-SM-2.10\n"
                       "waiting for the device\xE2\x80\xA6\n");
    // The boot loader answered its version: it runs, and may have erased its flash.
    EXPECT_EQ(err, "Firmware update failed before the first row: the Keystrand SM did not send "
                   "the ready character \"?\" (0x3F) within 2 s.\n" +
                       std::string(kIncomplete));
    EXPECT_FALSE(simtool::Exists(settings)) << "a failed update remembers no port";
    EXPECT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, ARefusedRowAndAHostileReplyAreToldByNameAndValueNeverRaw) {
    writePackage(HexFile(12));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "row=5:reject"});
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 6) << out << err;
    EXPECT_EQ(err, "Firmware update failed at row 5 of 13: the Keystrand SM sent NAK (0x15) where "
                   "XOFF (0x13) was awaited.\n"
                   "NAK: the boot loader refused the row.\n" +
                       std::string(kIncomplete));
    EXPECT_TRUE(std::regex_search(out, std::regex("Row 4 of 13 \\(30%\\)\n$"))) << out;
    EXPECT_EQ(stopDevice(d), 0);

    Device hostile;
    startDevice(hostile, dir.path("line2"), {"--fault", "version:reply=KY\\x1b[2J\\x07ST\\r"});
    EXPECT_EQ(run({"--package", pkg(), "--port", hostile.link}), 6) << out << err;
    EXPECT_EQ(err, "Invalid version response from the Keystrand SM on " + hostile.link +
                       ": \"KY\\x1B[2J\\x07ST\" instead of \"KYST-SM-2.10\".\n" + kIncomplete +
                       "This tool updates boot loader version KYST-SM-2.10 only.\n");
    EXPECT_EQ(err.find('\x1b'), std::string::npos);
    EXPECT_EQ(stopDevice(hostile), 0);
}

TEST_F(ConsoleTool, APortThatCannotBeOpenedIsNamedAsGivenWithTheSystemsReason) {
    writePackage(HexFile(4));
    const std::string gone = dir.path("no-such-tty");
    EXPECT_EQ(run({"--package", pkg(), "--port", gone}), 4);
    EXPECT_EQ(err, "Cannot open the serial port " + gone +
                       ": no such device.\n"
                       "The system says: No such file or directory (2).\n" +
                       kUnchanged +
                       "See --list-ports for the ports present; a USB adapter may have been "
                       "unplugged.\n");

    // Held open and locked by another process: this test.
    Device d;
    startDevice(d, dir.path("line"));
    const int holder = ::open(d.link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 4);
    EXPECT_EQ(err, "Cannot open the serial port " + d.link +
                       ": busy: another program has it open or locked.\n"
                       "The system says: Resource temporarily unavailable (11).\n" +
                       kUnchanged + d.link + " is held open by console_tests (process " +
                       std::to_string(::getpid()) + "): close it first.\n");
    ::close(holder);

    // Held open without a lock, by a program that reads (a terminal program): it would take
    // the device's answers, so nothing is sent while it is there.
    const int reader = ::open(d.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 4);
    EXPECT_NE(err.find(d.link + " is held open by console_tests (process " +
                       std::to_string(::getpid()) + "): close it first.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("The system says"), std::string::npos) << "the system said nothing";
    ::close(reader);

    // Not a terminal at all.
    EXPECT_EQ(run({"--package", pkg(), "--port", "/dev/null"}), 4);
    EXPECT_EQ(err, "Cannot open the serial port /dev/null: not a terminal (not a serial port).\n"
                   "The system says: Inappropriate ioctl for device (25).\n" +
                       std::string(kUnchanged));
    EXPECT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "rows_accepted"), "0");
    EXPECT_FALSE(simtool::Exists(settings));
}

TEST_F(ConsoleTool, APortThatMayNotBeOpenedSaysWhoMayUseItAndHowToGetAccess) {
    writePackage(HexFile(4));
    Device d;
    startDevice(d, dir.path("line"));
    char real[PATH_MAX];
    ASSERT_NE(::realpath(d.link.c_str(), real), nullptr);
    const bool root = ::geteuid() == 0;
    std::vector<std::string> args = {"--package", pkg(), "--port", d.link};
    if (root) {
        // Root opens anything: the program runs as nobody, who may read the package only.
        ::chmod(dir.path("").c_str(), 0755);
        ::chmod(pkg().c_str(), 0755);
        ASSERT_EQ(::access("/usr/bin/setpriv", X_OK), 0);
        args.insert(args.begin(), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", updater});
        updater = "/usr/bin/setpriv";
    }
    const std::string failed = "Cannot open the serial port " + d.link +
                               ": permission denied.\n"
                               "The system says: Permission denied (13).\n" +
                               kUnchanged;
    struct stat st {};
    ASSERT_EQ(::stat(real, &st), 0);
    const passwd* owner = ::getpwuid(st.st_uid);
    ASSERT_NE(owner, nullptr);
    const std::string ownerName = owner->pw_name;

    // Mode 000: nobody but root; joining a group cannot help.
    ASSERT_EQ(::chmod(real, 0), 0);
    EXPECT_EQ(run(args), 4) << out << err;
    const group* g = ::getgrgid(st.st_gid);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(err, failed + d.link + " belongs to " + ownerName + ":" + g->gr_name +
                       " with mode 0000: nobody but root may use it, and joining a group does "
                       "not help. Ask an administrator for access: a udev rule that gives the "
                       "device a group you are in (for instance GROUP=\"dialout\", "
                       "MODE=\"0660\"), or chown or chmod on it.\n");
    const group* dialout = ::getgrnam("dialout");
    if (root && dialout != nullptr) {
        // Mode 600 of root with the group dialout: only root; the group may not use it.
        ASSERT_EQ(::chown(real, 0, dialout->gr_gid), 0);
        ASSERT_EQ(::chmod(real, 0600), 0);
        EXPECT_EQ(run(args), 4) << out << err;
        EXPECT_NE(err.find(" belongs to root:dialout with mode 0600: its owner root may use it, "
                           "and joining a group does not help."),
                  std::string::npos)
            << err;
        // Modes 640 and 620: the group may only read, or only write; joining it does not help.
        for (const mode_t mode : {0640, 0620}) {
            ASSERT_EQ(::chmod(real, mode), 0);
            EXPECT_EQ(run(args), 4) << out << err;
            EXPECT_EQ(err.find("join it"), std::string::npos) << err;
            EXPECT_NE(err.find(std::string(" belongs to root:dialout with mode ") +
                               (mode == 0640 ? "0640" : "0620") +
                               ": its owner root may use it, and joining a group does not help."),
                      std::string::npos)
                << err;
        }
        // Mode 660: the group may, and joining it is the way.
        ASSERT_EQ(::chmod(real, 0660), 0);
        EXPECT_EQ(run(args), 4) << out << err;
        EXPECT_EQ(err, failed + d.link +
                           " may be used by the group dialout: join it (sudo usermod -aG dialout "
                           "\"$USER\"), then log out and in again.\n");
    }
    ::chmod(real, 0600);
    EXPECT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, PackageProblemsSayWhichFileWhichLineAndWhy) {
    Device d;
    startDevice(d, dir.path("line"));
    const std::string description = pkg() + "/Keystrand_SM.txt";
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 3);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "keystrand-update: cannot read the firmware description file \"" + description +
                       "\": no such file.\n" + kUnchanged);

    dir.write("pkg/Keystrand_SM.txt", "2.10\r\n");
    EXPECT_EQ(run({"--package", pkg() + "/", "--port", d.link}), 3);
    EXPECT_EQ(out, "Firmware version \"2.10\"\n");
    EXPECT_EQ(err, "keystrand-update: the firmware description file \"" + description +
                       "\" has no line 2 (the HEX file's name).\n" + kUnchanged);

    dir.write("pkg/Keystrand_SM.txt", "2.10\r\n\r\n");
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 3);
    EXPECT_EQ(err, "keystrand-update: line 2 of the firmware description file \"" + description +
                       "\" (the HEX file's name) is empty.\n" + kUnchanged);

    // A trailing blank belongs to the name, and shows.
    writePackage(HexFile(3));
    dir.write("pkg/Keystrand_SM.txt", "2.10\r\nfirmware.hex \r\n");
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 3);
    EXPECT_EQ(out, "Firmware version \"2.10\", HEX file \"firmware.hex \"\n");
    EXPECT_EQ(err, "keystrand-update: cannot read the firmware HEX file \"" + pkg() +
                       "/firmware.hex \": no such file.\n" + kUnchanged);

    // Larger than any firmware of the device: refused without reading it all.
    writePackage(HexFile(3));
    dir.write("pkg/firmware.hex", std::string((8u << 20) + 1, ':'));
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 3);
    EXPECT_EQ(err, "keystrand-update: the firmware HEX file \"" + pkg() +
                       "/firmware.hex\" is larger than 8 MiB: no firmware of the Keystrand SM "
                       "is, so it is not one.\n" +
                       kUnchanged);

    // No package beside the program, and none given: where to give one.
    EXPECT_EQ(run({"--port", d.link}), 3);
    EXPECT_NE(err.find("Give the package's folder with --package DIR.\n"), std::string::npos)
        << err;

    // A file that cannot be flashed is refused before the port is opened.
    std::string hex = HexFile(3);
    hex.replace(hex.find(":00000001FF"), 11, ":00000001FE");
    writePackage(hex);
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link}), 3);
    EXPECT_NE(err.find("The firmware HEX file \"firmware.hex\" cannot be flashed: row 4: "),
              std::string::npos)
        << err;
    EXPECT_NE(err.find(kUnchanged), std::string::npos) << err;
    EXPECT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "opens"), "0");
}

TEST_F(ConsoleTool, CheckPassesAGoodPackageAndNamesTheRowOfABadOne) {
    writePackage(HexFile(40));
    EXPECT_EQ(run({"--check", "--package", pkg()}), 0) << out << err;
    EXPECT_EQ(out, "Firmware version \"2.10\", HEX file \"firmware.hex\"\n"
                   "HEX file: 41 rows, 40 data records with 640 bytes, ending in the "
                   "end-of-file record; SHA-256 878684298a11411eacdc41fe70f01bf0cbd53bde511bbb44"
                   "6031401480be8364.\n"
                   "Package check passed.\n");
    EXPECT_EQ(err, "");

    std::string hex = HexFile(10);
    std::size_t at = 0;
    for (int row = 1; row < 7; ++row) {
        at = hex.find("\r\n", at) + 2;
    }
    hex.insert(at + 1, "\x1b[2J"); // row 7 damaged, with a terminal escape in it
    writePackage(hex);
    EXPECT_EQ(run({"--check", "--package", pkg()}), 3);
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << "never echoed raw";
    EXPECT_NE(err.find("Package check failed: row 7: "), std::string::npos) << err;
    EXPECT_NE(err.find("    row 7: \":\\x1B[2J"), std::string::npos) << err;
}

TEST_F(ConsoleTool, CtrlCAndSigtermStopAtOnceCloseThePortAndSayWhereTheUpdateStood) {
    writePackage(HexFile(12));
    for (const int sig : {SIGINT, SIGTERM}) {
        // The device holds back XON before row 5, so the signal lands in that wait.
        Device d;
        startDevice(d, dir.path(sig == SIGINT ? "line-int" : "line-term"),
                    {"--fault", "xon@row=5:delay=1900"});
        const std::string trace = dir.path("trace.log");
        Child program;
        ASSERT_TRUE(start(program, {"--package", pkg(), "--port", d.link, "--trace", trace}));
        ASSERT_TRUE(WaitFor([&] { return StatusValue(d.status, "rows_accepted") == "4"; }));
        program.signal(sig);
        const int code = finish(program);
        const std::string name = sig == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM";
        EXPECT_EQ(code, 128 + sig) << out << err;
        EXPECT_EQ(err, "Stopped by " + name + " at row 4 of 13.\n" + kIncomplete);
        EXPECT_TRUE(std::regex_search(out, std::regex("Row 4 of 13 \\(30%\\)\n$"))) << out;
        EXPECT_TRUE(std::regex_search(
            ReadWholeFile(trace),
            std::regex(" close\n +[0-9.]+ end\n# outcome: Stopped by " +
                       std::regex_replace(name, std::regex("[()]"), "\\$&") +
                       " at row 4 of 13\\. \\(exit code " + std::to_string(128 + sig) + "\\)\n$")))
            << ReadWholeFile(trace);
        EXPECT_TRUE(WaitFor([&] { return StatusValue(d.status, "state") == "closed"; }))
            << "the port is closed";
        EXPECT_EQ(stopDevice(d), 0);
    }
}

// The screen without the sequence that erases the rest of a line.
std::string WithoutErase(std::string screen) {
    for (std::string::size_type at = screen.find("\x1b[K"); at != std::string::npos;
         at = screen.find("\x1b[K", at)) {
        screen.erase(at, 3);
    }
    return screen;
}

// The bar lines drawn in place: the pieces between carriage returns and line ends that begin
// with the bar.
std::vector<std::string> BarLines(const std::string& screen) {
    std::vector<std::string> lines;
    std::string piece;
    for (const char c : WithoutErase(screen)) {
        if (c == '\r' || c == '\n') {
            if (piece.rfind("[", 0) == 0) {
                lines.push_back(piece);
            }
            piece.clear();
        } else {
            piece += c;
        }
    }
    return lines;
}

TEST_F(ConsoleTool, OnATerminalTheBarFitsItsWidthFollowsItsChangesAndShowsASilentDevice) {
    writePackage(HexFile(12));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "xon@row=5:delay=1900"});
    TerminalRun terminal(60);
    ASSERT_TRUE(terminal.start({updater, "--package", pkg(), "--port", d.link}));
    ASSERT_TRUE(terminal.readUntil("waiting for the device\xE2\x80\xA6 1 s"));
    // The bars drawn at 60 columns, the last of them still unended.
    const std::size_t before = BarLines(terminal.screen()).size() + 1;
    terminal.resize(100);
    ASSERT_TRUE(terminal.readUntil("successfully updated."));
    EXPECT_EQ(terminal.wait(), 0);

    const std::vector<std::string> bars = BarLines(terminal.screen());
    ASSERT_GT(bars.size(), before);
    // Every redraw erases what a longer line before it left (after a shrink of the window).
    std::size_t erased = 0;
    for (std::string::size_type at = terminal.screen().find("\x1b[K"); at != std::string::npos;
         at = terminal.screen().find("\x1b[K", at + 1)) {
        erased++;
    }
    EXPECT_EQ(erased, bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i) {
        EXPECT_EQ(Columns(bars[i]), i < before ? 59u : 99u) << bars[i];
    }
    EXPECT_EQ(bars[before - 1],
              "[####............]  4/13 rows  waiting for the device\xE2\x80\xA6 1 s ");
    EXPECT_EQ(bars.back().substr(0, 77), "[" + std::string(56, '#') + "] 13/13 rows  100%  ");
    // The bar's line is ended before the summary; the terminal gets no other control bytes.
    EXPECT_TRUE(std::regex_search(terminal.screen(),
                                  std::regex("13/13 rows  100%[^\r\n]*\r\n13 rows, 192 data bytes "
                                             "in [0-9.]+ s, [0-9]+ rows/s\r\nThe Keystrand SM "
                                             "firmware has been successfully updated\\.\r\n$")))
        << terminal.screen();
    EXPECT_EQ(WithoutErase(terminal.screen()).find('\x1b'), std::string::npos);
    EXPECT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, OnADumbTerminalOrOneOfNoTypeTheBarIsDrawnWithoutAnyControlSequence) {
    writePackage(HexFile(12));
    for (const char* type : {"dumb", ""}) {
        SCOPED_TRACE(std::string("TERM=") + type);
        Device d;
        startDevice(d, dir.path(std::string("line-") + (*type != '\0' ? type : "none")));
        TerminalRun terminal(60, type);
        ASSERT_TRUE(terminal.start({updater, "--package", pkg(), "--port", d.link}));
        ASSERT_TRUE(terminal.readUntil("successfully updated."));
        EXPECT_EQ(terminal.wait(), 0);
        // Each redraw is a whole line of the same width: nothing of an older one is left over.
        const std::vector<std::string> bars = BarLines(terminal.screen());
        ASSERT_FALSE(bars.empty()) << terminal.screen();
        for (const std::string& bar : bars) {
            EXPECT_EQ(Columns(bar), 59u) << bar;
        }
        EXPECT_EQ(terminal.screen().find('\x1b'), std::string::npos) << terminal.screen();
        EXPECT_EQ(stopDevice(d), 0);
    }
}

TEST_F(ConsoleTool, CtrlCOnATerminalEndsTheBarLineAndLeavesTheTerminalAsItWas) {
    writePackage(HexFile(12));
    Device d;
    startDevice(d, dir.path("line"), {"--fault", "xon@row=5:delay=1900"});
    TerminalRun terminal(60);
    const termios before = terminal.modes();
    ASSERT_TRUE(terminal.start({updater, "--package", pkg(), "--port", d.link}));
    ASSERT_TRUE(WaitFor([&] { return StatusValue(d.status, "rows_accepted") == "4"; }));
    terminal.signal(SIGINT);
    ASSERT_TRUE(terminal.readUntil("until an update succeeds.\r\n"));
    EXPECT_EQ(terminal.wait(), 130);
    // Every line wrapped at the terminal's 60 columns.
    EXPECT_TRUE(std::regex_search(terminal.screen(),
                                  std::regex("4/13 rows[^\r\n]*\r\nStopped by Ctrl-C \\(SIGINT\\) "
                                             "at row 4 of 13\\.\r\nThe firmware is incomplete: "
                                             "run the update again; the\r\ndevice stays in its "
                                             "boot loader until an update succeeds\\.\r\n$")))
        << terminal.screen();
    const termios after = terminal.modes();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(WithoutErase(terminal.screen()).find('\x1b'), std::string::npos);
    EXPECT_EQ(stopDevice(d), 0);
}

TEST_F(ConsoleTool, TheCommandLineIsCheckedAndTheVersionAndHelpAreThere) {
    for (const auto& bad : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--bogus"}, "unknown option \"--bogus\" (see --help)"},
             {{"--port", "0"}, "--port takes the port's path, such as /dev/ttyUSB0, not \"0\""},
             {{"--port", "ttyUSB0"},
              "--port takes the port's path, such as /dev/ttyUSB0, not \"ttyUSB0\" (did you "
              "mean /dev/ttyUSB0?)"},
             {{"--port", "/a", "--port", "/b", "--port", "0"},
              "--port takes the port's path, such as /dev/ttyUSB0, not \"0\""},
         }) {
        EXPECT_EQ(run(bad.first), 2);
        EXPECT_EQ(err, "keystrand-update: " + bad.second + "\n");
    }
    writePackage(HexFile(2));
    Device d;
    startDevice(d, dir.path("line"));
    EXPECT_EQ(
        run({"--package", pkg(), "--port", d.link, "--trace", dir.path("no/such/folder/trace")}),
        2);
    EXPECT_EQ(err, "keystrand-update: cannot create the trace file \"" +
                       dir.path("no/such/folder/trace") + "\": No such file or directory\n");
    // One port under two names: once only.
    ASSERT_EQ(::symlink(d.link.c_str(), dir.path("alias").c_str()), 0);
    EXPECT_EQ(run({"--package", pkg(), "--port", d.link, "--port", dir.path("alias")}), 2);
    EXPECT_NE(err.find(d.link + " and " + dir.path("alias") + " are the same port (/dev/pts/"),
              std::string::npos)
        << err;
    EXPECT_EQ(stopDevice(d), 0);
    EXPECT_EQ(StatusValue(d.status, "opens"), "0");

    ASSERT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out, "keystrand-update 2.0.0.9\n");
    ASSERT_EQ(run({"--help"}), 0);
    for (const char* text :
         {"--package DIR", "--port PORT", "--trace FILE", "--check", "--list-ports", "--version",
          "KEYSTRAND_UPDATE_SETTINGS", "KEYSTRAND_UPDATE_DEV_DIR"}) {
        EXPECT_NE(out.find(text), std::string::npos) << text;
    }
    for (const char* code :
         {"\n  0  success", "\n  2  bad command line", "\n  3  package", "\n  4  port",
          "\n  5  device entry", "\n  6  transfer", "\n  130  stopped by Ctrl-C; 143"}) {
        EXPECT_NE(out.find(code), std::string::npos) << code;
    }
}

TEST_F(ConsoleTool, ListPortsShowsTheUsbTtysWithTheirStableNamesAndTheRememberedOne) {
    Device usb;
    Device acm;
    startDevice(usb, dir.path("dev/ttyUSB97"));
    startDevice(acm, dir.path("dev/ttyACM98"));
    dir.write("dev/ttyS0", ""); // not a USB serial tty: never listed, never opened
    ::mkdir(dir.path("dev/serial").c_str(), 0755);
    ::mkdir(dir.path("dev/serial/by-id").c_str(), 0755);
    const std::string byId = dir.path("dev/serial/by-id/usb-Fenmoor_Keystrand-if00-port0");
    ASSERT_EQ(::symlink("../../ttyUSB97", byId.c_str()), 0);
    ::mkdir(dir.path("config").c_str(), 0700);
    dir.write("config/settings", "[Settings]\nPort=" + byId + "\n");
    ASSERT_EQ(run({"--list-ports"}), 0) << err;
    EXPECT_EQ(out, usb.link + "  [remembered]\n" + std::string(usb.link.size(), ' ') + "  also " +
                       byId + "\n" + acm.link + "\n" + "Remembered port: " + byId + " (kept in " +
                       settings + ")\n");
    for (Device* d : {&usb, &acm}) {
        EXPECT_EQ(stopDevice(*d), 0);
        EXPECT_EQ(StatusValue(d->status, "opens"), "0");
    }
}

} // namespace

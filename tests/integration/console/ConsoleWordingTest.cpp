// The console's words for each outcome, and the escaping of whatever a file or a device sends:
// pure functions, checked without a device.
#include <gtest/gtest.h>

#include "console/words/OutcomeWording.h"
#include "console/words/Text.h"

namespace {

using update::Awaited;
using update::DeviceState;
using update::Failure;
using update::Outcome;
using update::Stage;

console::RunContext Context() {
    console::RunContext c;
    c.portName = "/dev/ttyUSB0";
    c.hexName = "fw.hex ";
    return c;
}

Outcome Failed(Failure failure, DeviceState device, int rowsSent = 0, int totalRows = 2049) {
    Outcome o;
    o.failure = failure;
    o.device = device;
    o.rowsSent = rowsSent;
    o.totalRows = totalRows;
    o.sentAnything = device != DeviceState::kUnchanged;
    return o;
}

const char* const kIncomplete = "The firmware is incomplete: run the update again; the device "
                                "stays in its boot loader until an update succeeds.";

TEST(ConsoleWording, TransferFailuresSayWhereWhatCameAndTheDevicesState) {
    Outcome nak = Failed(Failure::kWrongAnswer, DeviceState::kIncomplete, 300);
    nak.awaited = Awaited::kXoff;
    nak.received = 0x15;
    const console::OutcomeReport r = console::DescribeOutcome(nak, Context());
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{
                             "Firmware update failed at row 300 of 2049: the Keystrand SM sent NAK "
                             "(0x15) where XOFF (0x13) was awaited.",
                             "NAK: the boot loader refused the row.", kIncomplete}));

    Outcome noXon = Failed(Failure::kNoAnswer, DeviceState::kIncomplete, 12, 40);
    noXon.awaited = Awaited::kXon;
    EXPECT_EQ(console::DescribeOutcome(noXon, Context()).headline,
              "Firmware update failed at row 13 of 40: the Keystrand SM did not send XON (0x11) "
              "within 2 s.");

    Outcome lastRow = Failed(Failure::kWrongAnswer, DeviceState::kIncomplete, 40, 40);
    lastRow.awaited = Awaited::kFileComplete;
    lastRow.received = 'Z';
    EXPECT_EQ(console::DescribeOutcome(lastRow, Context()).headline,
              "Firmware update failed after the last row (40 of 40): the Keystrand SM sent \"Z\" "
              "(0x5A) where file complete, the at sign (0x40) was awaited.");

    Outcome unplugged = Failed(Failure::kWrongAnswer, DeviceState::kIncomplete, 7, 40);
    unplugged.awaited = Awaited::kLineComplete;
    unplugged.readFailed = true;
    EXPECT_EQ(console::DescribeOutcome(unplugged, Context()).Lines(),
              (std::vector<std::string>{
                  "Firmware update failed at row 7 of 40: the port /dev/ttyUSB0 failed while "
                  "line complete \"~\" (0x7E) was awaited.",
                  kIncomplete, "Check that the adapter is still plugged in."}));

    // A hostile version reply is escaped, never echoed.
    Outcome version = Failed(Failure::kWrongVersion, DeviceState::kIncomplete);
    version.reply = "KYST\x1b[2J\x07";
    EXPECT_EQ(console::DescribeOutcome(version, Context()).headline,
              "Invalid version response from the Keystrand SM on /dev/ttyUSB0: "
              "\"KYST\\x1B[2J\\x07\" instead of \"KYST-SM-2.10\".");
}

const char* const kUnknown = "The device's state is not known: nothing answered the boot "
                             "loader's identification request.";
const char* const kMayHaveErased =
    "If the device's boot loader was running and heard the request, it may have erased its "
    "firmware: run the update again; the device stays in its boot loader until an update "
    "succeeds.";

TEST(ConsoleWording, WhenNothingAnsweredTheStateIsUnknownAndEachPossibilityIsTold) {
    const Outcome silent = Failed(Failure::kNoVersion, DeviceState::kUnknown);
    console::RunContext pty = Context();
    pty.modemStatusRead = false;
    const console::OutcomeReport r = console::DescribeOutcome(silent, pty);
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.Lines(),
              (std::vector<std::string>{
                  "No response from the Keystrand SM's boot loader on /dev/ttyUSB0: no version "
                  "reply within 3 s.",
                  kUnknown, kMayHaveErased,
                  "The modem status of this line cannot be read, so the boot loader was assumed "
                  "to be running. If the device runs its application firmware, its firmware is "
                  "unchanged: use a cable that carries DSR, so that it can be told to restart "
                  "into its boot loader.",
                  "If nothing is there, check that the device is powered and connected to "
                  "/dev/ttyUSB0."}));
    for (const std::string& line : r.Lines()) {
        EXPECT_EQ(line.find("The firmware is incomplete"), std::string::npos) << line;
    }

    // DSR was read and off: the same possibilities, said of DSR.
    EXPECT_EQ(console::DescribeOutcome(silent, Context()).advice.at(1).rfind("DSR was off, ", 0),
              0u);
    // DSR was on and dropped after "<W": the application firmware is not running.
    console::RunContext restarted = Context();
    restarted.dsrOn = true;
    EXPECT_EQ(console::DescribeOutcome(silent, restarted).advice.size(), 2u);

    // A stop while nothing had answered says the same of the device.
    Outcome stopped = Failed(Failure::kStopped, DeviceState::kUnknown);
    stopped.stage = Stage::kIdentifyingBootLoader;
    pty.stopSignal = 2;
    const console::OutcomeReport s = console::DescribeOutcome(stopped, pty);
    EXPECT_EQ(s.headline,
              "Stopped by Ctrl-C (SIGINT) while waiting for the boot loader's version.");
    EXPECT_EQ(s.deviceState, kUnknown);
    EXPECT_EQ(s.advice.front(), kMayHaveErased);

    // Once the boot loader has answered, its firmware is incomplete.
    Outcome answered = Failed(Failure::kNoVersion, DeviceState::kIncomplete);
    answered.reply = "KYST";
    EXPECT_EQ(console::DescribeOutcome(answered, pty).deviceState, kIncomplete);
    EXPECT_TRUE(console::DescribeOutcome(answered, pty).advice.empty());
}

TEST(ConsoleWording, AFailedLineSaysTheSystemsReasonAndTheTableCountsConfirmedRows) {
    Outcome hungUp = Failed(Failure::kWrongAnswer, DeviceState::kIncomplete, 99, 513);
    hungUp.awaited = Awaited::kXoff;
    hungUp.stage = Stage::kAwaitingXoff;
    hungUp.readFailed = true;
    hungUp.lineError.code = 5;
    hungUp.lineError.text = "Input/output error";
    EXPECT_EQ(console::DescribeOutcome(hungUp, Context()).details,
              std::vector<std::string>{"The system says: Input/output error (5)."});
    EXPECT_EQ(console::RowsAccepted(hungUp), 98) << "row 99 was sent, never confirmed";
    hungUp.stage = Stage::kAwaitingXon;
    EXPECT_EQ(console::RowsAccepted(hungUp), 99);
}

TEST(ConsoleWording, FailuresBeforeTheBootLoaderLeaveTheDeviceUnchanged) {
    Outcome open = Failed(Failure::kPortOpen, DeviceState::kUnchanged);
    open.openError.cause = base::SystemError::Cause::kAccessDenied;
    open.openError.code = 13;
    open.openError.text = "Permission denied";
    console::RunContext c = Context();
    c.openAdvice = "/dev/ttyUSB0 belongs to the group dialout: join it.";
    const console::OutcomeReport r = console::DescribeOutcome(open, c);
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{
                             "Cannot open the serial port /dev/ttyUSB0: permission denied.",
                             "The system says: Permission denied (13).",
                             "Nothing was sent to the device: it is unchanged.",
                             "/dev/ttyUSB0 belongs to the group dialout: join it."}));

    Outcome identity = Failed(Failure::kNoIdentity, DeviceState::kUnchanged);
    identity.sentAnything = true;
    identity.reply = "\rKYST-SM-01,";
    const console::OutcomeReport id = console::DescribeOutcome(identity, Context());
    EXPECT_EQ(id.exitCode, 5);
    EXPECT_EQ(id.Lines()[0], "Cannot find a Keystrand SM on /dev/ttyUSB0: no valid identity "
                             "reply to \"<V\" within 2 s.");
    EXPECT_EQ(id.Lines()[1], "Received: \"\\rKYST-SM-01,\".");
    EXPECT_EQ(id.deviceState, "The device's firmware is unchanged.");

    const Outcome restart = Failed(Failure::kNoRestart, DeviceState::kRestartRequested);
    EXPECT_EQ(console::DescribeOutcome(restart, Context()).exitCode, 5);
    EXPECT_EQ(console::DescribeOutcome(restart, Context()).deviceState,
              "The device was asked to restart into its boot loader; its firmware is unchanged.");

    Outcome package = Failed(Failure::kPackage, DeviceState::kUnchanged);
    package.package.kind = update::HexFileProblem::Kind::kBadRecord;
    package.package.row = 100;
    package.package.rows = 2049;
    package.package.detail = "checksum 3C, expected 3D";
    package.package.rowText = ":10\\x1B";
    const console::OutcomeReport p = console::DescribeOutcome(package, Context());
    EXPECT_EQ(p.exitCode, 3);
    EXPECT_EQ(p.headline, "The firmware HEX file \"fw.hex \" cannot be flashed: " +
                              package.package.Describe() + ".");
    EXPECT_EQ(p.details, std::vector<std::string>{"row 100: \":10\\x1B\""});
}

TEST(ConsoleWording, AStopNamesItsSignalTheRowReachedAndItsExitCode) {
    Outcome stopped = Failed(Failure::kStopped, DeviceState::kIncomplete, 120, 2049);
    stopped.stage = Stage::kAwaitingXoff;
    console::RunContext c = Context();
    c.stopSignal = 2;
    const console::OutcomeReport r = console::DescribeOutcome(stopped, c);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{"Stopped by Ctrl-C (SIGINT) at row 120 of 2049.",
                                                   kIncomplete}));
    c.stopSignal = 15;
    stopped.stage = Stage::kIdentifyingBootLoader;
    EXPECT_EQ(console::DescribeOutcome(stopped, c).exitCode, 143);
    EXPECT_EQ(console::DescribeOutcome(stopped, c).headline,
              "Stopped by SIGTERM while waiting for the boot loader's version.");

    Outcome ok;
    ok.device = DeviceState::kUpdated;
    EXPECT_EQ(console::DescribeOutcome(ok, c).Lines(),
              std::vector<std::string>{"The Keystrand SM firmware has been successfully updated."});
    EXPECT_EQ(console::DescribeOutcome(ok, c).exitCode, 0);
}

TEST(ConsolePrintable, NoByteReachesTheTerminalRawAndCharactersHaveNames) {
    EXPECT_EQ(console::Quoted(std::string("a\r\n\t\\\"\x1b[2J\x7f\xe9\0z", 14)),
              "\"a\\r\\n\\t\\\\\\\"\\x1B[2J\\x7F\\xE9\\x00z\"");
    EXPECT_EQ(console::Escaped("mini\x1b]0;x\x07"
                               "com"),
              "mini\\x1B]0;x\\x07com");
    EXPECT_EQ(console::CharacterName(0x15), "NAK (0x15)");
    EXPECT_EQ(console::CharacterName(0x11), "XON (0x11)");
    EXPECT_EQ(console::CharacterName(0x13), "XOFF (0x13)");
    EXPECT_EQ(console::CharacterName('@'), "the at sign (0x40)");
    EXPECT_EQ(console::CharacterName('~'), "\"~\" (0x7E)");
    EXPECT_EQ(console::CharacterName('"'), "\"\\\"\" (0x22)");
    EXPECT_EQ(console::CharacterName(static_cast<char>(0xE9)), "0xE9");
    EXPECT_EQ(console::CharacterName(0), "NUL (0x00)");
}

} // namespace

// Unit tests of CSerialPort on the recording comm fake: line settings, call order and polling.
#include "serial/SerialPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fw/App.h"
#include "support/RecordingComm.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kCom3[] = "\\\\.\\COM3";
const char kCom4[] = "\\\\.\\COM4";
const char kCom7[] = "\\\\.\\COM7";

// The third 32-bit word of the block: the one that holds all the flag bits.
DWORD FlagWord(const DCB& dcb) {
    DWORD word = 0;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&dcb) + 8, sizeof word);
    return word;
}

class SerialPortTest : public ::testing::Test {
protected:
    // The block handed to the platform by the last setCommState.
    DCB LastState() const {
        std::vector<CommCall> states = comm.callsNamed("setCommState");
        EXPECT_FALSE(states.empty());
        return states.empty() ? DCB{} : states.back().dcb;
    }
    void OpenCom3() {
        ASSERT_TRUE(port.Open(3, 9600, 'N', 8, 1));
        comm.clearCalls();
    }

    RecordingComm comm;
    HANDLE com3 = comm.addPort(kCom3);
    CSerialPort port{&comm};
};

// ---- Open: the device path, the set-up calls and what a failure leaves behind ----

TEST_F(SerialPortTest, OpenCreatesTheDeviceAndSetsItUpInOrder) {
    EXPECT_TRUE(port.Open(3, 9600, 'N', 8, 1));

    EXPECT_THAT(comm.callNames(), ElementsAre("createFile", "setupComm", "setCommTimeouts",
                                              "setCommState", "setCommMask"));
    const std::vector<CommCall>& calls = comm.calls();
    EXPECT_EQ(calls[0].path, kCom3);
    EXPECT_EQ(calls[1].handle, com3);
    EXPECT_THAT(calls[1].numbers, ElementsAre(32768u, 32768u));
    EXPECT_EQ(calls[2].handle, com3);
    EXPECT_EQ(calls[2].timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(calls[2].timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(calls[2].timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(calls[2].timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(calls[2].timeouts.WriteTotalTimeoutConstant, 0u);
    EXPECT_EQ(calls[3].handle, com3);
    EXPECT_EQ(calls[4].handle, com3);
    EXPECT_THAT(calls[4].numbers, ElementsAre(static_cast<DWORD>(EV_RXCHAR | EV_TXEMPTY)));
    EXPECT_EQ(port.GetPortNumber(), 3);
}

TEST_F(SerialPortTest, DevicePathIsDecimalWithoutPaddingForAnyNumber) {
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "\\\\.\\COM1"}, {9, "\\\\.\\COM9"},   {12, "\\\\.\\COM12"},
        {0, "\\\\.\\COM0"}, {-5, "\\\\.\\COM-5"}, {2147483647, "\\\\.\\COM2147483647"},
    };
    for (const auto& [number, path] : cases) {
        comm.clearCalls();
        EXPECT_FALSE(port.Open(number, 9600, 'N', 8, 1));
        ASSERT_EQ(comm.calls().size(), 1u);
        EXPECT_EQ(comm.calls()[0].path, path);
    }
}

TEST_F(SerialPortTest, UnknownSpeedOpensAt9600) {
    EXPECT_TRUE(port.Open(3, 250000, 'N', 8, 1));
    EXPECT_EQ(comm.calls()[0].path, kCom3);
    EXPECT_EQ(LastState().BaudRate, 9600u);
}

TEST_F(SerialPortTest, OpenFillsEveryMemberOfTheBlock) {
    ASSERT_TRUE(port.Open(3, 115200, 'E', 7, 2));
    const DCB dcb = LastState();

    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.fDummy2, 0u);
    EXPECT_EQ(dcb.wReserved, 0u);
    EXPECT_EQ(dcb.XonLim, 100u);
    EXPECT_EQ(dcb.XoffLim, 100u);
    EXPECT_EQ(dcb.ByteSize, 7u);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(static_cast<unsigned char>(dcb.ErrorChar), 0xFFu);
    EXPECT_EQ(dcb.EofChar, 0x0D);
    EXPECT_EQ(static_cast<unsigned char>(dcb.EvtChar), 0xFFu);
    EXPECT_EQ(dcb.wReserved1, 0u);
    // The object keeps exactly what it handed over, for Reconfigure to start from.
    EXPECT_EQ(std::memcmp(&dcb, &port.LineSettings(), sizeof(DCB)), 0);
}

TEST_F(SerialPortTest, FlagWordOfAFreshPortIs0x1093) {
    ASSERT_TRUE(port.Open(3, 9600, 'N', 8, 1));
    EXPECT_EQ(FlagWord(LastState()), 0x1093u);
}

TEST_F(SerialPortTest, OpenKeepsTheSpareFlagBitsAndReservedMembers) {
    // Whatever the block held before, only the listed members change: (old & 0xFFFF9093) | 0x1093.
    const std::vector<std::pair<unsigned char, DWORD>> cases = {{0xFF, 0xFFFF9093u},
                                                                {0x5A, 0x5A5A1093u}};
    for (const auto& [fill, flags] : cases) {
        DCB& held = const_cast<DCB&>(port.LineSettings());
        std::memset(&held, fill, sizeof held);
        const WORD reserved = held.wReserved;

        ASSERT_TRUE(port.Open(3, 9600, 'N', 8, 1));
        const DCB dcb = LastState();
        EXPECT_EQ(FlagWord(dcb), flags);
        EXPECT_EQ(dcb.wReserved, reserved);
        EXPECT_EQ(dcb.wReserved1, reserved);
        port.Close();
    }
}

TEST_F(SerialPortTest, OpenSucceedsOnceTheHandleIsOpenWhateverTheSetUpCallsSay) {
    comm.failCall("setupComm");
    comm.failCall("setCommTimeouts");
    comm.failCall("setCommState");
    comm.failCall("setCommMask");

    EXPECT_TRUE(port.Open(3, 9600, 'N', 8, 1));
    EXPECT_THAT(comm.callNames(), ElementsAre("createFile", "setupComm", "setCommTimeouts",
                                              "setCommState", "setCommMask"));
    EXPECT_EQ(port.GetPortNumber(), 3);
}

TEST_F(SerialPortTest, FailedOpenStopsAfterCreateFileAndLeavesThePortClosed) {
    EXPECT_FALSE(port.Open(7, 9600, 'N', 8, 1));
    ASSERT_THAT(comm.callNames(), ElementsAre("createFile"));
    EXPECT_EQ(comm.calls()[0].path, kCom7);
    EXPECT_EQ(port.GetPortNumber(), -1);

    comm.clearCalls();
    DWORD status = 0x1234;
    EXPECT_FALSE(port.GetModemStatus(&status));
    port.Close();
    EXPECT_THAT(comm.calls(), IsEmpty());
}

TEST_F(SerialPortTest, GetPortNumberReportsTheOpenPortOnly) {
    EXPECT_EQ(port.GetPortNumber(), -1);
    EXPECT_FALSE(port.Open(7, 9600, 'N', 8, 1));
    EXPECT_EQ(port.GetPortNumber(), -1);

    comm.addPort(kCom7);
    EXPECT_TRUE(port.Open(7, 9600, 'N', 8, 1));
    EXPECT_EQ(port.GetPortNumber(), 7);

    port.Close();
    EXPECT_EQ(port.GetPortNumber(), -1);
}

TEST_F(SerialPortTest, OpenOverAnOpenPortClosesItFirstEvenWhenTheNewOneFails) {
    OpenCom3();

    EXPECT_FALSE(port.Open(4, 9600, 'N', 8, 1));

    ASSERT_THAT(comm.callNames(), ElementsAre("escapeCommFunction", "escapeCommFunction",
                                              "closeHandle", "createFile"));
    const std::vector<CommCall>& calls = comm.calls();
    EXPECT_EQ(calls[0].handle, com3);
    EXPECT_THAT(calls[0].numbers, ElementsAre(static_cast<DWORD>(CLRDTR)));
    EXPECT_EQ(calls[1].handle, com3);
    EXPECT_THAT(calls[1].numbers, ElementsAre(static_cast<DWORD>(CLRRTS)));
    EXPECT_EQ(calls[2].handle, com3);
    EXPECT_EQ(calls[3].path, kCom4);
    EXPECT_FALSE(comm.isOpen(com3));
    EXPECT_EQ(port.GetPortNumber(), -1);

    // Closed for good: nothing is left to close.
    comm.clearCalls();
    port.Close();
    EXPECT_THAT(comm.calls(), IsEmpty());
}

TEST_F(SerialPortTest, OpenOverAnOpenPortMovesToTheNewPort) {
    const HANDLE com4 = comm.addPort(kCom4);
    OpenCom3();

    EXPECT_TRUE(port.Open(4, 9600, 'N', 8, 1));
    EXPECT_FALSE(comm.isOpen(com3));
    EXPECT_TRUE(comm.isOpen(com4));
    EXPECT_EQ(port.GetPortNumber(), 4);

    comm.clearCalls();
    port.WriteString("x");
    ASSERT_EQ(comm.calls().size(), 1u);
    EXPECT_EQ(comm.calls()[0].handle, com4);
}

TEST_F(SerialPortTest, ReopeningTheSamePortWorksBecauseTheOldHandleIsClosedFirst) {
    // The fake, like Windows, refuses a second unshared open of a port that is still open.
    OpenCom3();
    EXPECT_TRUE(port.Open(3, 19200, 'N', 8, 1));
    EXPECT_EQ(LastState().BaudRate, 19200u);
}

// ---- Open: the speed, parity and stop-bit tables ----

struct SpeedCase {
    int requested;
    DWORD expected;
};

class SerialPortOpenSpeed : public SerialPortTest,
                            public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SerialPortOpenSpeed, SetsTheBaudRateFromTheTable) {
    ASSERT_TRUE(port.Open(3, GetParam().requested, 'N', 8, 1));
    EXPECT_EQ(LastState().BaudRate, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(KnownSpeeds, SerialPortOpenSpeed,
                         ::testing::Values(SpeedCase{300, 300}, SpeedCase{600, 600},
                                           SpeedCase{1200, 1200}, SpeedCase{2400, 2400},
                                           SpeedCase{4800, 4800}, SpeedCase{9600, 9600},
                                           SpeedCase{14400, 14400}, SpeedCase{19200, 19200},
                                           SpeedCase{38400, 38400}, SpeedCase{57600, 57600},
                                           SpeedCase{115200, 115200}));
INSTANTIATE_TEST_SUITE_P(UnknownSpeeds, SerialPortOpenSpeed,
                         ::testing::Values(SpeedCase{250000, 9600}, SpeedCase{0, 9600},
                                           SpeedCase{-9600, 9600}, SpeedCase{110, 9600},
                                           SpeedCase{14401, 9600}, SpeedCase{56000, 9600},
                                           SpeedCase{128000, 9600}, SpeedCase{230400, 9600}));

struct ParityCase {
    int letter;
    BYTE expected;
};

class SerialPortOpenParity : public SerialPortTest,
                             public ::testing::WithParamInterface<ParityCase> {};

TEST_P(SerialPortOpenParity, SetsParityFromTheExactLetter) {
    ASSERT_TRUE(port.Open(3, 9600, GetParam().letter, 8, 1));
    EXPECT_EQ(LastState().Parity, GetParam().expected);
    // Parity checking stays on whatever the parity.
    EXPECT_EQ(LastState().fParity, 1u);
}

INSTANTIATE_TEST_SUITE_P(Letters, SerialPortOpenParity,
                         ::testing::Values(ParityCase{'E', EVENPARITY}, ParityCase{'O', ODDPARITY},
                                           ParityCase{'M', MARKPARITY},
                                           ParityCase{'S', SPACEPARITY}, ParityCase{'N', NOPARITY},
                                           ParityCase{'e', NOPARITY}, ParityCase{'o', NOPARITY},
                                           ParityCase{'m', NOPARITY}, ParityCase{'s', NOPARITY},
                                           ParityCase{'n', NOPARITY}, ParityCase{'X', NOPARITY},
                                           ParityCase{0, NOPARITY},
                                           ParityCase{'E' + 256, NOPARITY}));

struct StopBitsCase {
    int count;
    BYTE expected;
};

class SerialPortOpenStopBits : public SerialPortTest,
                               public ::testing::WithParamInterface<StopBitsCase> {};

TEST_P(SerialPortOpenStopBits, OnlyTwoGivesTwoStopBits) {
    ASSERT_TRUE(port.Open(3, 9600, 'N', 8, GetParam().count));
    EXPECT_EQ(LastState().StopBits, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Counts, SerialPortOpenStopBits,
                         ::testing::Values(StopBitsCase{0, ONESTOPBIT}, StopBitsCase{1, ONESTOPBIT},
                                           StopBitsCase{2, TWOSTOPBITS},
                                           StopBitsCase{3, ONESTOPBIT},
                                           StopBitsCase{-2, ONESTOPBIT}));

// ---- Reconfigure ----

TEST_F(SerialPortTest, ReconfigureSetsStateThenPurgesInputAndReturnsThePurgeResult) {
    OpenCom3();
    comm.queueInput("noise");

    EXPECT_TRUE(port.Reconfigure(115200, 'N', '8'));

    ASSERT_THAT(comm.callNames(), ElementsAre("setCommState", "purgeComm"));
    EXPECT_EQ(comm.calls()[0].handle, com3);
    EXPECT_EQ(comm.calls()[1].handle, com3);
    EXPECT_THAT(comm.calls()[1].numbers, ElementsAre(static_cast<DWORD>(PURGE_RXCLEAR)));
    EXPECT_EQ(LastState().BaudRate, 115200u);
    EXPECT_EQ(comm.inputLeft(), 0u);
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(SerialPortTest, ReconfigureReturnsFalseWhenThePurgeFails) {
    OpenCom3();
    comm.failCall("purgeComm");
    EXPECT_FALSE(port.Reconfigure(115200, 'N', '8'));
}

TEST_F(SerialPortTest, ReconfigurePurgesAndSucceedsEvenWhenSetCommStateFails) {
    OpenCom3();
    comm.failCall("setCommState");
    comm.queueInput("xy");
    EXPECT_TRUE(port.Reconfigure(115200, 'N', '8'));
    EXPECT_EQ(comm.inputLeft(), 0u);
}

TEST_F(SerialPortTest, ReconfigureChangesOnlySpeedParityAndDataBits) {
    ASSERT_TRUE(port.Open(3, 2400, 'M', 8, 2));
    DCB expected = port.LineSettings();

    port.Reconfigure(19200, 'O', '7');

    expected.BaudRate = 19200;
    expected.Parity = ODDPARITY;
    expected.ByteSize = 7;
    const DCB handed = LastState();
    EXPECT_EQ(std::memcmp(&handed, &expected, sizeof(DCB)), 0);
    // Queues, time-outs and event mask stay as Open set them.
    EXPECT_EQ(comm.callsNamed("setupComm").size(), 1u);
    EXPECT_EQ(comm.callsNamed("setCommTimeouts").size(), 1u);
    EXPECT_EQ(comm.callsNamed("setCommMask").size(), 1u);
}

TEST_F(SerialPortTest, ReconfigureTakesTheDataBitsAsADigitCharacter) {
    OpenCom3();
    port.Reconfigure(115200, 'N', '7');
    EXPECT_EQ(LastState().ByteSize, 7u);
    port.Reconfigure(115200, 'N', '8');
    EXPECT_EQ(LastState().ByteSize, 8u);
    port.Reconfigure(115200, 'N', '5');
    EXPECT_EQ(LastState().ByteSize, 5u);
}

class SerialPortReconfigureSpeed : public SerialPortTest,
                                   public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SerialPortReconfigureSpeed, SetsTheBaudRateFromItsOwnTable) {
    OpenCom3();
    port.Reconfigure(GetParam().requested, 'N', '8');
    EXPECT_EQ(LastState().BaudRate, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(KnownSpeeds, SerialPortReconfigureSpeed,
                         ::testing::Values(SpeedCase{1200, 1200}, SpeedCase{2400, 2400},
                                           SpeedCase{4800, 4800}, SpeedCase{9600, 9600},
                                           SpeedCase{19200, 19200}, SpeedCase{115200, 115200}));
// Speeds that Open accepts but a change of settings does not, and speeds nobody knows.
INSTANTIATE_TEST_SUITE_P(OtherSpeeds, SerialPortReconfigureSpeed,
                         ::testing::Values(SpeedCase{300, 9600}, SpeedCase{600, 9600},
                                           SpeedCase{14400, 9600}, SpeedCase{38400, 9600},
                                           SpeedCase{57600, 9600}, SpeedCase{250000, 9600},
                                           SpeedCase{0, 9600}));

class SerialPortReconfigureParity : public SerialPortTest,
                                    public ::testing::WithParamInterface<ParityCase> {};

TEST_P(SerialPortReconfigureParity, KnowsOnlyEvenAndOdd) {
    // Start from a port with mark parity, so that "no parity" has to be written.
    ASSERT_TRUE(port.Open(3, 9600, 'M', 8, 1));
    port.Reconfigure(115200, GetParam().letter, '8');
    EXPECT_EQ(LastState().Parity, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Letters, SerialPortReconfigureParity,
                         ::testing::Values(ParityCase{'E', EVENPARITY}, ParityCase{'O', ODDPARITY},
                                           ParityCase{'M', NOPARITY}, ParityCase{'S', NOPARITY},
                                           ParityCase{'N', NOPARITY}, ParityCase{'e', NOPARITY},
                                           ParityCase{'o', NOPARITY}));

// ---- Close and destruction ----

TEST_F(SerialPortTest, CloseDropsDtrThenRtsThenClosesTheHandle) {
    OpenCom3();

    port.Close();

    ASSERT_THAT(comm.callNames(),
                ElementsAre("escapeCommFunction", "escapeCommFunction", "closeHandle"));
    EXPECT_THAT(comm.calls()[0].numbers, ElementsAre(static_cast<DWORD>(CLRDTR)));
    EXPECT_THAT(comm.calls()[1].numbers, ElementsAre(static_cast<DWORD>(CLRRTS)));
    for (const CommCall& c : comm.calls()) {
        EXPECT_EQ(c.handle, com3);
    }
    EXPECT_FALSE(comm.isOpen(com3));
}

TEST_F(SerialPortTest, CloseOnAClosedPortDoesNothing) {
    port.Close();
    EXPECT_THAT(comm.calls(), IsEmpty());

    OpenCom3();
    port.Close();
    comm.clearCalls();
    port.Close();
    EXPECT_THAT(comm.calls(), IsEmpty());
}

TEST_F(SerialPortTest, DestroyingAnOpenPortClosesIt) {
    auto other = std::make_unique<CSerialPort>(&comm);
    ASSERT_TRUE(other->Open(3, 9600, 'N', 8, 1));
    comm.clearCalls();

    other.reset();

    ASSERT_THAT(comm.callNames(),
                ElementsAre("escapeCommFunction", "escapeCommFunction", "closeHandle"));
    EXPECT_THAT(comm.calls()[0].numbers, ElementsAre(static_cast<DWORD>(CLRDTR)));
    EXPECT_THAT(comm.calls()[1].numbers, ElementsAre(static_cast<DWORD>(CLRRTS)));
    EXPECT_FALSE(comm.isOpen(com3));
}

TEST_F(SerialPortTest, DestroyingAClosedPortMakesNoCall) {
    auto other = std::make_unique<CSerialPort>(&comm);
    EXPECT_FALSE(other->Open(9, 9600, 'N', 8, 1));
    comm.clearCalls();
    other.reset();
    EXPECT_THAT(comm.calls(), IsEmpty());
}

// ---- Writing, queue size and purging ----

TEST_F(SerialPortTest, WriteStringWritesTheTextWithoutItsTerminatorInOneCall) {
    OpenCom3();
    EXPECT_TRUE(port.WriteString("<V"));
    ASSERT_THAT(comm.callNames(), ElementsAre("writeFile"));
    EXPECT_EQ(comm.calls()[0].handle, com3);
    EXPECT_THAT(comm.calls()[0].numbers, ElementsAre(2u));
    EXPECT_EQ(comm.calls()[0].bytes, "<V");
}

TEST_F(SerialPortTest, WriteStringOfAnEmptyTextMakesOneWriteOfLengthZero) {
    OpenCom3();
    EXPECT_TRUE(port.WriteString(""));
    ASSERT_THAT(comm.callNames(), ElementsAre("writeFile"));
    EXPECT_THAT(comm.calls()[0].numbers, ElementsAre(0u));
}

TEST_F(SerialPortTest, WriteStringReturnsTheWriteFailure) {
    OpenCom3();
    comm.failCall("writeFile");
    EXPECT_FALSE(port.WriteString(":00000001FF\r\n"));
}

TEST_F(SerialPortTest, BytesWaitingCountsTheInputQueueWithoutTakingIt) {
    OpenCom3();
    comm.queueInput("abc");
    EXPECT_EQ(port.BytesWaiting(), 3u);
    EXPECT_EQ(comm.inputLeft(), 3u);
    EXPECT_THAT(comm.callNames(), ElementsAre("clearCommError"));
}

TEST_F(SerialPortTest, BytesWaitingIsZeroWhenTheQueueCannotBeAsked) {
    OpenCom3();
    comm.queueInput("abc");
    comm.failCall("clearCommError");
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(SerialPortTest, PurgeInputClearsOnlyTheInputQueue) {
    OpenCom3();
    comm.queueInput("stale");
    EXPECT_TRUE(port.PurgeInput());
    ASSERT_THAT(comm.callNames(), ElementsAre("purgeComm"));
    EXPECT_EQ(comm.calls()[0].handle, com3);
    EXPECT_THAT(comm.calls()[0].numbers, ElementsAre(static_cast<DWORD>(PURGE_RXCLEAR)));
    EXPECT_EQ(comm.inputLeft(), 0u);

    comm.failCall("purgeComm");
    EXPECT_FALSE(port.PurgeInput());
}

// ---- Reading ----

TEST_F(SerialPortTest, ReadOfZeroBytesMakesNoPlatformCall) {
    OpenCom3();
    comm.queueInput("hello");
    char buffer[4] = {};
    EXPECT_EQ(port.Read(buffer, 0), 0u);
    EXPECT_THAT(comm.calls(), IsEmpty());
    EXPECT_EQ(comm.inputLeft(), 5u);
}

TEST_F(SerialPortTest, ReadOfOneByteTakesOneAndLeavesTheRest) {
    OpenCom3();
    comm.queueInput("hello");
    char buffer[2] = {'#', '#'};

    EXPECT_EQ(port.Read(buffer, 1), 1u);

    EXPECT_EQ(buffer[0], 'h');
    EXPECT_EQ(buffer[1], '#');
    EXPECT_EQ(comm.inputLeft(), 4u);
    ASSERT_THAT(comm.callNames(), ElementsAre("clearCommError", "readFile"));
    EXPECT_EQ(comm.calls()[1].handle, com3);
    EXPECT_THAT(comm.calls()[1].numbers, ElementsAre(1u));
}

TEST_F(SerialPortTest, ReadAsksOnlyForWhatHasArrived) {
    OpenCom3();
    comm.queueInput("abc");
    char buffer[10];
    std::memset(buffer, '#', sizeof buffer);

    EXPECT_EQ(port.Read(buffer, 10), 3u);

    EXPECT_EQ(std::string(buffer, 4), "abc#");
    ASSERT_THAT(comm.callNames(), ElementsAre("clearCommError", "readFile"));
    EXPECT_THAT(comm.calls()[1].numbers, ElementsAre(3u));
}

TEST_F(SerialPortTest, ReadOfAnEmptyQueueReturnsAtOnceWithoutReading) {
    OpenCom3();
    char buffer[4];
    EXPECT_EQ(port.Read(buffer, 4), 0u);
    EXPECT_THAT(comm.callNames(), ElementsAre("clearCommError"));
}

TEST_F(SerialPortTest, FailedReadCountsAsNothingRead) {
    OpenCom3();
    comm.queueInput("abc");
    comm.failCall("readFile"); // the fake leaves the count untouched, as a careless driver might
    char buffer[4];
    EXPECT_EQ(port.Read(buffer, 4), 0u);
}

// ---- Modem lines ----

TEST_F(SerialPortTest, GetModemStatusOnAClosedPortFailsAndLeavesTheWord) {
    comm.setModemStatus(MS_DSR_ON);
    DWORD status = 0xDEADBEEF;
    EXPECT_FALSE(port.GetModemStatus(&status));
    EXPECT_EQ(status, 0xDEADBEEFu);
    EXPECT_THAT(comm.calls(), IsEmpty());
}

TEST_F(SerialPortTest, GetModemStatusOnAnOpenPortPassesThePlatformAnswer) {
    OpenCom3();
    comm.setModemStatus(MS_DSR_ON | MS_CTS_ON);
    DWORD status = 0;
    EXPECT_TRUE(port.GetModemStatus(&status));
    EXPECT_EQ(status, static_cast<DWORD>(MS_DSR_ON | MS_CTS_ON));
    ASSERT_THAT(comm.callNames(), ElementsAre("getCommModemStatus"));
    EXPECT_EQ(comm.calls()[0].handle, com3);

    comm.failCall("getCommModemStatus");
    EXPECT_FALSE(port.GetModemStatus(&status));
}

// ---- The comm service of the application object ----

TEST(SerialPortServices, DefaultPortUsesTheApplicationsCommService) {
    RecordingComm comm;
    comm.addPort(kCom3);
    fw::App app;
    fw::Services services;
    services.comm = &comm;
    app.SetServices(services);

    CSerialPort port;
    EXPECT_TRUE(port.Open(3, 9600, 'N', 8, 1));
    ASSERT_FALSE(comm.calls().empty());
    EXPECT_EQ(comm.calls()[0].path, kCom3);
}

TEST(SerialPortServices, ServiceInstalledAfterTheDialogWasBuiltIsUsed) {
    RecordingComm comm;
    comm.addPort(kCom3);
    fw::App app;
    CSerialPort port;

    fw::Services services;
    services.comm = &comm;
    app.SetServices(services);
    EXPECT_TRUE(port.Open(3, 9600, 'N', 8, 1));
    EXPECT_EQ(port.GetPortNumber(), 3);
}

TEST(SerialPortServices, WithoutACommServiceNoPortOpens) {
    fw::App app;
    CSerialPort port;
    EXPECT_FALSE(port.Open(3, 9600, 'N', 8, 1));
    EXPECT_EQ(port.GetPortNumber(), -1);
    DWORD status = 0x77;
    EXPECT_FALSE(port.GetModemStatus(&status));
    EXPECT_EQ(status, 0x77u);
}

} // namespace

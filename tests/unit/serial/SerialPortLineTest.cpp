// The dialog's port as the engine's line: each operation is the port's own calls, in its order,
// so that the dialog's exchange with the kernel is the same whoever drives it.
#include "serial/SerialPortLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/VirtualClock.h"
#include "support/RecordingComm.h"

using ::testing::ElementsAre;

namespace {

class SerialPortLineTest : public ::testing::Test {
protected:
    RecordingComm comm;
    HANDLE com7 = comm.addPort("\\\\.\\COM7");
    CSerialPort port{&comm};
    base::VirtualClock clock{0, 1};
    serial::SerialPortLine line{port, 7, clock};
};

TEST_F(SerialPortLineTest, OpensCom7At9600NoneEightOneAndSwitchesSpeedAsTheDialogDoes) {
    EXPECT_EQ(line.name(), "COM7");
    ASSERT_TRUE(line.open(9600));
    EXPECT_EQ(port.GetPortNumber(), 7);
    const DCB opened = comm.callsNamed("setCommState").back().dcb;
    EXPECT_EQ(opened.BaudRate, 9600u);
    EXPECT_EQ(opened.Parity, NOPARITY);
    EXPECT_EQ(opened.ByteSize, 8);
    EXPECT_EQ(opened.StopBits, ONESTOPBIT);

    comm.clearCalls();
    EXPECT_TRUE(line.setSpeed(115200));
    EXPECT_THAT(comm.callNames(), ElementsAre("setCommState", "purgeComm"));
    EXPECT_EQ(comm.callsNamed("setCommState").back().dcb.BaudRate, 115200u);

    comm.clearCalls();
    line.close();
    EXPECT_THAT(comm.callNames(),
                ElementsAre("escapeCommFunction", "escapeCommFunction", "closeHandle"));
    EXPECT_EQ(port.GetPortNumber(), -1);

    serial::SerialPortLine absent(port, 8, clock);
    EXPECT_FALSE(absent.open(9600));
}

TEST_F(SerialPortLineTest, AReadThatMayNotWaitAsksTheQueueOnceAndReadsOnlyWhatWaits) {
    ASSERT_TRUE(line.open(9600));
    comm.clearCalls();
    char c = 0;
    const DWORD before = clock.now();
    EXPECT_EQ(line.read(&c, 1, 0), 0);
    EXPECT_THAT(comm.callNames(), ElementsAre("clearCommError"));
    EXPECT_EQ(clock.now(), before) << "the dialog's own loop reads the tick counter, not the line";

    comm.queueInput("?x");
    comm.clearCalls();
    EXPECT_EQ(line.read(&c, 1, 0), 1);
    EXPECT_EQ(c, '?');
    EXPECT_THAT(comm.callNames(), ElementsAre("clearCommError", "clearCommError", "readFile"));

    // Bytes wait but the read gives none: the line failed.
    comm.failCall("readFile");
    EXPECT_EQ(line.read(&c, 1, 0), serial::Line::kReadFailed);
}

TEST_F(SerialPortLineTest, AReadThatMayWaitPollsTheQueueUntilItsLimitOnTheTickCounter) {
    ASSERT_TRUE(line.open(9600));
    char c = 0;
    const DWORD before = clock.now();
    EXPECT_EQ(line.read(&c, 1, 50), 0);
    EXPECT_GE(clock.now() - before, 50u);
    EXPECT_LT(clock.now() - before, 60u);
}

TEST_F(SerialPortLineTest, DsrIsTheModemStatusBitAndUnknownWhenItCannotBeRead) {
    EXPECT_EQ(line.dsr(), serial::Dsr::kUnknown) << "a closed port has no status";
    ASSERT_TRUE(line.open(9600));
    comm.setModemStatus(MS_DSR_ON | MS_CTS_ON);
    EXPECT_EQ(line.dsr(), serial::Dsr::kOn);
    comm.setModemStatus(MS_CTS_ON);
    EXPECT_EQ(line.dsr(), serial::Dsr::kOff);
    comm.failCall("getCommModemStatus");
    EXPECT_EQ(line.dsr(), serial::Dsr::kUnknown);
}

TEST_F(SerialPortLineTest, AWriteIsOneWriteStringOfTheTextUpToItsFirstZeroByte) {
    ASSERT_TRUE(line.open(9600));
    comm.clearCalls();
    EXPECT_TRUE(line.write(std::string("<V\0<W", 5)));
    ASSERT_EQ(comm.callsNamed("writeFile").size(), 1u);
    EXPECT_EQ(comm.callsNamed("writeFile").back().bytes, "<V");
    comm.failCall("writeFile");
    EXPECT_FALSE(line.write("<W"));
}

} // namespace

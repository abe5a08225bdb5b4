// Unit tests of how the termios backend turns a device-control block into terminal settings.
#include "serial/posix/TtyComm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "serial/SerialPort.h"
#include "support/RecordingComm.h"

namespace {

using serial::posix::TtyComm;

// The block as the serial port sets a line up: 8 data bits, no parity, 1 stop bit.
DCB PortBlock(DWORD baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baud;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fTXContinueOnXoff = 1;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

// Settings as a terminal is often left: cooked, echoing, 7E2 with hardware flow control.
termios CookedSettings() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    ::cfsetispeed(&t, B2400);
    ::cfsetospeed(&t, B2400);
    return t;
}

const tcflag_t kFormatBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

tcflag_t FormatOf(const DCB& dcb) {
    termios t = CookedSettings();
    EXPECT_TRUE(TtyComm::LineSettingsFromBlock(dcb, &t));
    return t.c_cflag & kFormatBits;
}

TEST(TtyLineSettings, SpeedsOfThePortTablesMapToTheirConstants) {
    const std::pair<DWORD, speed_t> speeds[] = {
        {300, B300},   {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    for (const auto& [baud, constant] : speeds) {
        termios t = CookedSettings();
        ASSERT_TRUE(TtyComm::LineSettingsFromBlock(PortBlock(baud), &t)) << baud;
        EXPECT_EQ(::cfgetospeed(&t), constant) << baud;
        EXPECT_EQ(::cfgetispeed(&t), constant) << baud;
    }
}

TEST(TtyLineSettings, CharacterFormatMapsDataBitsParityAndStopBits) {
    struct Case {
        BYTE byteSize;
        BYTE parity;
        BYTE stopBits;
        tcflag_t expected;
    };
    const Case cases[] = {
        {8, NOPARITY, ONESTOPBIT, CS8},
        {7, NOPARITY, ONESTOPBIT, CS7},
        {6, NOPARITY, ONESTOPBIT, CS6},
        {5, NOPARITY, ONESTOPBIT, CS5},
        {8, ODDPARITY, ONESTOPBIT, CS8 | PARENB | PARODD},
        {8, EVENPARITY, ONESTOPBIT, CS8 | PARENB},
        {8, MARKPARITY, ONESTOPBIT, CS8 | PARENB | CMSPAR | PARODD},
        {8, SPACEPARITY, ONESTOPBIT, CS8 | PARENB | CMSPAR},
        {8, NOPARITY, TWOSTOPBITS, CS8 | CSTOPB},
        {7, EVENPARITY, TWOSTOPBITS, CS7 | PARENB | CSTOPB},
    };
    for (const Case& c : cases) {
        DCB dcb = PortBlock(9600);
        dcb.ByteSize = c.byteSize;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stopBits;
        EXPECT_EQ(FormatOf(dcb), c.expected)
            << int(c.byteSize) << " bits, parity " << int(c.parity) << ", stop " << int(c.stopBits);
    }
}

TEST(TtyLineSettings, ResultIsRawWhateverTheTerminalWasBefore) {
    termios t = CookedSettings();
    ASSERT_TRUE(TtyComm::LineSettingsFromBlock(PortBlock(9600), &t));

    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | BRKINT), 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    // Reads return at once with whatever has arrived.
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST(TtyLineSettings, FlowControlFlagsMapToTermios) {
    DCB dcb = PortBlock(9600);
    dcb.fOutxCtsFlow = 1;
    dcb.fOutX = 1;
    dcb.XonChar = 0x01;
    dcb.XoffChar = 0x02;
    termios t{};
    ASSERT_TRUE(TtyComm::LineSettingsFromBlock(dcb, &t));
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON));
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);

    dcb = PortBlock(9600);
    dcb.fRtsControl = 2; // RTS handshake is hardware flow control in the receive direction
    dcb.fInX = 1;
    t = termios{};
    ASSERT_TRUE(TtyComm::LineSettingsFromBlock(dcb, &t));
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXOFF));
}

TEST(TtyLineSettings, RefusesWhatTermiosCannotSayAndLeavesTheSettings) {
    std::vector<DCB> refused;
    for (DWORD baud : {14400u, 0u, 250000u, 128000u}) {
        refused.push_back(PortBlock(baud));
    }
    auto variant = [&](auto change) {
        DCB dcb = PortBlock(9600);
        change(dcb);
        refused.push_back(dcb);
    };
    variant([](DCB& d) { d.ByteSize = 4; });
    variant([](DCB& d) { d.ByteSize = 9; });
    variant([](DCB& d) { d.Parity = 5; });
    variant([](DCB& d) { d.StopBits = ONE5STOPBITS; });
    variant([](DCB& d) { d.StopBits = 3; });
    variant([](DCB& d) { d.fOutxDsrFlow = 1; });
    variant([](DCB& d) { d.fDsrSensitivity = 1; });
    variant([](DCB& d) { d.fDtrControl = 2; });
    variant([](DCB& d) { d.fRtsControl = 3; });
    variant([](DCB& d) { d.fNull = 1; });
    variant([](DCB& d) { d.fErrorChar = 1; });
    variant([](DCB& d) { d.fAbortOnError = 1; });

    for (const DCB& dcb : refused) {
        const termios before = CookedSettings();
        termios t = before;
        EXPECT_FALSE(TtyComm::LineSettingsFromBlock(dcb, &t)) << dcb.BaudRate;
        EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0) << dcb.BaudRate;
    }
}

TEST(TtyLineSettings, TakesEveryBlockTheSerialPortHandsOver) {
    RecordingComm comm;
    comm.addPort("\\\\.\\COM1");
    CSerialPort port(&comm);
    ASSERT_TRUE(port.Open(1, 9600, 'N', 8, 1));
    port.Reconfigure(115200, 'N', '8');

    const std::vector<CommCall> states = comm.callsNamed("setCommState");
    ASSERT_EQ(states.size(), 2u);
    const speed_t expected[] = {B9600, B115200};
    for (std::size_t i = 0; i < states.size(); ++i) {
        termios t = CookedSettings();
        ASSERT_TRUE(TtyComm::LineSettingsFromBlock(states[i].dcb, &t));
        EXPECT_EQ(::cfgetospeed(&t), expected[i]);
        EXPECT_EQ(t.c_cflag & kFormatBits, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    }
}

} // namespace

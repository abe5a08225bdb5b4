// Integration tests of CSerialPort and the termios backend over a real pseudo-terminal pair.
#include "serial/posix/TtyComm.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "serial/SerialPort.h"
#include "serial/posix/ComPortTable.h"

namespace {

using Clock = std::chrono::steady_clock;
// No wait in these tests lasts longer than this.
constexpr auto kWaitLimit = std::chrono::milliseconds(2000);

// One pseudo-terminal pair: the test plays the device on the master side, the port under test
// opens the slave side.
class PtyPair {
public:
    PtyPair() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        char name[128] = {};
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 &&
            ::ptsname_r(m_master, name, sizeof name) == 0) {
            m_slavePath = name;
        }
    }
    ~PtyPair() {
        if (m_master >= 0) {
            ::close(m_master);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0 && !m_slavePath.empty(); }
    // The device goes away: the master closes, and the slave's reads fail.
    void Hangup() {
        ::close(m_master);
        m_master = -1;
    }
    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    // The device sends bytes down the line.
    bool Send(const std::string& bytes) const {
        return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // What the port sent, gathered until count bytes have come or the wait limit has passed.
    std::string Receive(std::size_t count) const {
        std::string got;
        const auto start = Clock::now();
        while (got.size() < count && Clock::now() - start < kWaitLimit) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0) {
                    got.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        return got;
    }

    // The slave's terminal settings: on Linux the master side reports those of its slave.
    termios SlaveSettings() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(m_master, &t), 0);
        return t;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

// Polls until the port reports at least count bytes waiting, within the wait limit.
DWORD WaitForInput(CSerialPort& port, DWORD count) {
    const auto start = Clock::now();
    DWORD waiting = port.BytesWaiting();
    while (waiting < count && Clock::now() - start < kWaitLimit) {
        ::poll(nullptr, 0, 5);
        waiting = port.BytesWaiting();
    }
    return waiting;
}

// The same, for a handle of the backend itself.
DWORD WaitForInput(serial::posix::TtyComm& comm, HANDLE h, DWORD count) {
    const auto start = Clock::now();
    COMSTAT stat{};
    comm.clearCommError(h, nullptr, &stat);
    while (stat.cbInQue < count && Clock::now() - start < kWaitLimit) {
        ::poll(nullptr, 0, 5);
        comm.clearCommError(h, nullptr, &stat);
    }
    return stat.cbInQue;
}

class SerialPortOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        table.set(5, pty.slavePath());
    }

    PtyPair pty;
    serial::posix::ComPortTable table;
    serial::posix::TtyComm comm{table};
    CSerialPort port{&comm};
};

// ---- CSerialPort end to end ----

TEST_F(SerialPortOnPty, OpensCom5At9600EightNoneOneInRawMode) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));
    EXPECT_EQ(port.GetPortNumber(), 5);

    const termios t = pty.SlaveSettings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
    // (A pseudo-terminal always reports 8 bits without parity, so those are checked elsewhere.)
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
}

TEST_F(SerialPortOnPty, WritesAndReadsBothWays) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));

    EXPECT_TRUE(port.WriteString("<V"));
    EXPECT_EQ(pty.Receive(2), "<V");
    // Carriage return and line feed pass unchanged in both directions.
    EXPECT_TRUE(port.WriteString(":00000001FF\r\n"));
    EXPECT_EQ(pty.Receive(13), ":00000001FF\r\n");

    ASSERT_TRUE(pty.Send("SM 2.0\r\n"));
    ASSERT_EQ(WaitForInput(port, 8), 8u);
    std::string got;
    char c = 0;
    while (port.Read(&c, 1) == 1) {
        got += c;
    }
    EXPECT_EQ(got, "SM 2.0\r\n");
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(SerialPortOnPty, ReadTakesNoMoreThanAskedAndNeverWaits) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));
    char buffer[8] = {};
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0u); // nothing sent yet: back at once

    ASSERT_TRUE(pty.Send("hello"));
    ASSERT_EQ(WaitForInput(port, 5), 5u);
    EXPECT_EQ(port.Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 'h');
    EXPECT_EQ(port.BytesWaiting(), 4u);
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), "ello");
}

TEST_F(SerialPortOnPty, ReconfigureSwitchesTo115200AndDropsWhatCameBefore) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));
    ASSERT_TRUE(pty.Send("stale"));
    ASSERT_EQ(WaitForInput(port, 5), 5u);

    EXPECT_TRUE(port.Reconfigure(115200, 'N', '8'));

    EXPECT_EQ(port.BytesWaiting(), 0u);
    char c = 0;
    EXPECT_EQ(port.Read(&c, 1), 0u);
    const termios t = pty.SlaveSettings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));

    // What comes after the change is kept.
    ASSERT_TRUE(pty.Send("?"));
    ASSERT_EQ(WaitForInput(port, 1), 1u);
    EXPECT_EQ(port.Read(&c, 1), 1u);
    EXPECT_EQ(c, '?');
}

TEST_F(SerialPortOnPty, PurgeInputDropsWhatHasArrived) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));
    ASSERT_TRUE(pty.Send("old"));
    ASSERT_EQ(WaitForInput(port, 3), 3u);
    EXPECT_TRUE(port.PurgeInput());
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(SerialPortOnPty, ModemStatusFailsOnAPseudoTerminal) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));
    DWORD status = 0xABCD;
    EXPECT_FALSE(port.GetModemStatus(&status));
    EXPECT_EQ(status, 0xABCDu);
}

TEST_F(SerialPortOnPty, CloseReleasesThePortForTheNextOpen) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));
    port.Close();
    EXPECT_EQ(port.GetPortNumber(), -1);

    CSerialPort other(&comm);
    EXPECT_TRUE(other.Open(5, 9600, 'N', 8, 1));
}

TEST_F(SerialPortOnPty, APortThatIsOpenCannotBeOpenedAgain) {
    ASSERT_TRUE(port.Open(5, 9600, 'N', 8, 1));

    CSerialPort sameProgram(&comm);
    EXPECT_FALSE(sameProgram.Open(5, 9600, 'N', 8, 1));
    // Another backend stands for another program holding its own handle.
    serial::posix::TtyComm otherComm(table);
    CSerialPort otherProgram(&otherComm);
    EXPECT_FALSE(otherProgram.Open(5, 9600, 'N', 8, 1));

    port.Close();
    EXPECT_TRUE(otherProgram.Open(5, 9600, 'N', 8, 1));
}

TEST_F(SerialPortOnPty, APortWithoutATableEntryDoesNotOpen) {
    EXPECT_FALSE(port.Open(6, 9600, 'N', 8, 1));
    EXPECT_EQ(port.GetPortNumber(), -1);
    table.remove(5);
    EXPECT_FALSE(port.Open(5, 9600, 'N', 8, 1));
}

// ---- The backend's own rules ----

class TtyCommOnPty : public SerialPortOnPty {
protected:
    HANDLE OpenSlave() {
        HANDLE h = comm.createFile("\\\\.\\COM5");
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        return h;
    }
    // A block as the port sets it up, to be varied by each case.
    static DCB LineBlock(DWORD baud, BYTE byteSize, BYTE parity, BYTE stopBits) {
        DCB dcb{};
        dcb.DCBlength = sizeof(DCB);
        dcb.BaudRate = baud;
        dcb.fBinary = 1;
        dcb.fParity = 1;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.ByteSize = byteSize;
        dcb.Parity = parity;
        dcb.StopBits = stopBits;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        return dcb;
    }
};

TEST_F(TtyCommOnPty, DevicePathForms) {
    table.set(12, pty.slavePath());
    struct Case {
        const char* path;
        bool opens;
    };
    const Case cases[] = {
        {"\\\\.\\COM5", true},
        {"\\\\.\\com5", true},
        {"\\\\.\\COM12", true},
        {"\\\\.\\COM05", false},
        {"\\\\.\\COM6", false},
        {"COM5", false},
        {"\\\\.\\COM", false},
        {"/dev/null", false},
        {"/dev/no-such-tty", false},
        {"/tmp", false},
        {"", false},
    };
    for (const Case& c : cases) {
        HANDLE h = comm.createFile(c.path);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << c.path;
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_NE(h, nullptr);
            EXPECT_TRUE(comm.closeHandle(h));
        }
    }
    HANDLE direct = comm.createFile(pty.slavePath().c_str());
    EXPECT_NE(direct, INVALID_HANDLE_VALUE) << "a /dev path opens without a table entry";
    comm.closeHandle(direct);
}

TEST_F(TtyCommOnPty, HandlesAreOwnNumbersAndDieWithClose) {
    HANDLE h = OpenSlave();
    EXPECT_NE(h, nullptr);
    EXPECT_GE(comm.fileDescriptor(h), 0);

    EXPECT_TRUE(comm.closeHandle(h));
    EXPECT_EQ(comm.fileDescriptor(h), -1);
    EXPECT_FALSE(comm.closeHandle(h));
    DWORD count = 7;
    char c;
    EXPECT_FALSE(comm.readFile(h, &c, 1, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(comm.writeFile(h, "x", 1, &count));
    EXPECT_FALSE(comm.purgeComm(h, PURGE_RXCLEAR));
    EXPECT_FALSE(comm.setupComm(nullptr, 1, 1));
    EXPECT_FALSE(comm.clearCommError(INVALID_HANDLE_VALUE, nullptr, nullptr));
}

TEST_F(TtyCommOnPty, SetCommStateReachesTheTerminal) {
    // A pseudo-terminal keeps the speed, the stop bits and the stick-parity bits it is given;
    // it forces 8 data bits and drops PARENB. The full mapping is checked without a terminal.
    HANDLE h = OpenSlave();
    struct Case {
        DCB dcb;
        speed_t speed;
        tcflag_t kept; // CSTOPB, PARODD and CMSPAR
    };
    const Case cases[] = {
        {LineBlock(300, 8, NOPARITY, ONESTOPBIT), B300, 0},
        {LineBlock(19200, 7, ODDPARITY, TWOSTOPBITS), B19200, PARODD | CSTOPB},
        {LineBlock(38400, 8, MARKPARITY, ONESTOPBIT), B38400, PARODD | CMSPAR},
        {LineBlock(57600, 6, SPACEPARITY, TWOSTOPBITS), B57600, CMSPAR | CSTOPB},
        {LineBlock(115200, 8, NOPARITY, ONESTOPBIT), B115200, 0},
        {LineBlock(9600, 8, EVENPARITY, ONESTOPBIT), B9600, 0},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(comm.setCommState(h, &c.dcb)) << c.dcb.BaudRate;
        const termios t = pty.SlaveSettings();
        EXPECT_EQ(::cfgetospeed(&t), c.speed) << c.dcb.BaudRate;
        EXPECT_EQ(t.c_cflag & (CSTOPB | PARODD | CMSPAR), c.kept) << c.dcb.BaudRate;
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    }
}

TEST_F(TtyCommOnPty, SetCommStateMapsFlowControl) {
    HANDLE h = OpenSlave();
    DCB dcb = LineBlock(9600, 8, NOPARITY, ONESTOPBIT);
    dcb.fOutxCtsFlow = 1;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    ASSERT_TRUE(comm.setCommState(h, &dcb));
    termios t = pty.SlaveSettings();
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);

    dcb = LineBlock(9600, 8, NOPARITY, ONESTOPBIT);
    ASSERT_TRUE(comm.setCommState(h, &dcb));
    t = pty.SlaveSettings();
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(TtyCommOnPty, SetCommStateRefusesWhatTermiosCannotDoAndLeavesTheLine) {
    HANDLE h = OpenSlave();
    const DCB good = LineBlock(9600, 8, NOPARITY, ONESTOPBIT);
    ASSERT_TRUE(comm.setCommState(h, &good));

    std::vector<DCB> refused = {
        LineBlock(14400, 8, NOPARITY, TWOSTOPBITS),   LineBlock(250000, 8, NOPARITY, ONESTOPBIT),
        LineBlock(0, 8, NOPARITY, ONESTOPBIT),        LineBlock(115200, 9, NOPARITY, ONESTOPBIT),
        LineBlock(115200, 4, NOPARITY, ONESTOPBIT),   LineBlock(115200, 8, 5, ONESTOPBIT),
        LineBlock(115200, 8, NOPARITY, ONE5STOPBITS),
    };
    DCB dsrFlow = LineBlock(115200, 8, NOPARITY, ONESTOPBIT);
    dsrFlow.fOutxDsrFlow = 1;
    refused.push_back(dsrFlow);
    DCB dtrHandshake = LineBlock(115200, 8, NOPARITY, ONESTOPBIT);
    dtrHandshake.fDtrControl = 2;
    refused.push_back(dtrHandshake);
    DCB nullStrip = LineBlock(115200, 8, NOPARITY, ONESTOPBIT);
    nullStrip.fNull = 1;
    refused.push_back(nullStrip);

    for (const DCB& dcb : refused) {
        EXPECT_FALSE(comm.setCommState(h, &dcb)) << dcb.BaudRate << " " << int(dcb.ByteSize);
        const termios t = pty.SlaveSettings();
        EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    }
}

TEST_F(TtyCommOnPty, TheReturnAtOnceAndTheWaitForTheFirstByteReadFormsAreAccepted) {
    HANDLE h = OpenSlave();
    COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
    EXPECT_TRUE(comm.setCommTimeouts(h, &atOnce));
    COMMTIMEOUTS waiting{MAXDWORD, 0, 0, 10, 1000};
    EXPECT_TRUE(comm.setCommTimeouts(h, &waiting)) << "write time-outs are not refused";
    COMMTIMEOUTS firstByte{MAXDWORD, MAXDWORD, 250, 0, 0};
    EXPECT_TRUE(comm.setCommTimeouts(h, &firstByte));
    for (COMMTIMEOUTS refused : {COMMTIMEOUTS{0, 0, 0, 0, 0}, COMMTIMEOUTS{MAXDWORD, 0, 500, 0, 0},
                                 COMMTIMEOUTS{MAXDWORD, MAXDWORD, 0, 0, 0},
                                 COMMTIMEOUTS{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0}}) {
        EXPECT_FALSE(comm.setCommTimeouts(h, &refused)) << refused.ReadTotalTimeoutConstant;
        EXPECT_EQ(comm.lastError().code, EINVAL);
    }
}

TEST_F(SerialPortOnPty, ReadWithinWaitsInTheKernelForTheFirstByteAndTakesWhatHasCome) {
    ASSERT_TRUE(port.Open(5, 115200, 'N', 8, 1));
    char buffer[8] = {};
    DWORD count = 9;
    // Nothing comes: the read ends at its limit with nothing.
    EXPECT_TRUE(port.ReadWithin(buffer, 1, 20, &count));
    EXPECT_EQ(count, 0u);

    // A byte sent while the read waits is taken by that one read.
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Send("\x11");
    });
    EXPECT_TRUE(port.ReadWithin(buffer, 1, 5000, &count));
    device.join();
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(buffer[0], 0x11);

    // What has already come is taken at once, up to the most asked for.
    ASSERT_TRUE(pty.Send("\x13~\x11"));
    ASSERT_EQ(WaitForInput(port, 3), 3u);
    EXPECT_TRUE(port.ReadWithin(buffer, 2, 5000, &count));
    EXPECT_EQ(std::string(buffer, count), "\x13~");
    // The dialog's read still returns at once.
    EXPECT_EQ(port.Read(buffer, 8), 1u);
    EXPECT_EQ(port.Read(buffer, 8), 0u);

    EXPECT_FALSE(port.ReadWithin(buffer, 1, 0, &count)) << "a wait of 0 would mean for ever";
    EXPECT_FALSE(port.ReadWithin(buffer, 0, 10, &count));
}

TEST_F(SerialPortOnPty, ReadWithinFailsAtOnceWhenTheLineHangsUp) {
    ASSERT_TRUE(port.Open(5, 115200, 'N', 8, 1));
    pty.Hangup();
    char c = 0;
    DWORD count = 9;
    EXPECT_FALSE(port.ReadWithin(&c, 1, 5000, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.LastError().code, EIO);
}

TEST_F(TtyCommOnPty, AFailedOpenSaysWhy) {
    using Cause = fw::SystemError::Cause;
    EXPECT_EQ(comm.createFile("/dev/no-such-tty"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm.lastError().cause, Cause::kNoSuchPort);
    EXPECT_EQ(comm.lastError().code, ENOENT);
    EXPECT_EQ(comm.lastError().text, std::strerror(ENOENT));

    EXPECT_EQ(comm.createFile("/dev/null"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm.lastError().cause, Cause::kNotASerialPort);
    EXPECT_EQ(comm.lastError().text, "not a terminal");

    EXPECT_EQ(comm.createFile("\\\\.\\COM9"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm.lastError().cause, Cause::kNoSuchPort);

    // Held through another handle, as another program would hold it.
    HANDLE h = OpenSlave();
    EXPECT_EQ(comm.createFile("\\\\.\\COM5"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm.lastError().cause, Cause::kBusy);
    EXPECT_EQ(comm.lastError().text, "in use by another program");
    comm.closeHandle(h);

    EXPECT_EQ(serial::posix::TtyComm::ErrorFromErrno(EACCES).cause, Cause::kAccessDenied);
    EXPECT_EQ(serial::posix::TtyComm::ErrorFromErrno(EBUSY).cause, Cause::kBusy);
    EXPECT_EQ(serial::posix::TtyComm::ErrorFromErrno(EIO).cause, Cause::kUnknown);
}

TEST_F(TtyCommOnPty, ModemLinesFailOnAPseudoTerminal) {
    HANDLE h = OpenSlave();
    EXPECT_FALSE(comm.escapeCommFunction(h, SETDTR));
    EXPECT_FALSE(comm.escapeCommFunction(h, CLRDTR));
    EXPECT_FALSE(comm.escapeCommFunction(h, CLRRTS));
    EXPECT_FALSE(comm.escapeCommFunction(h, 99));
    DWORD status = 0x55;
    EXPECT_FALSE(comm.getCommModemStatus(h, &status));
    EXPECT_EQ(status, 0x55u);
}

TEST_F(TtyCommOnPty, ReadOfAnEmptyLineSucceedsWithNothing) {
    HANDLE h = OpenSlave();
    char buffer[4];
    DWORD count = 9;
    EXPECT_TRUE(comm.readFile(h, buffer, sizeof buffer, &count));
    EXPECT_EQ(count, 0u);
}

TEST_F(TtyCommOnPty, ClearCommErrorCountsTheInputQueue) {
    HANDLE h = OpenSlave();
    ASSERT_TRUE(pty.Send("1234567"));
    EXPECT_EQ(WaitForInput(comm, h, 7), 7u);
    DWORD errors = 0xFF;
    COMSTAT stat{};
    EXPECT_TRUE(comm.clearCommError(h, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 7u);
}

TEST_F(TtyCommOnPty, WriteToALineThatTakesNothingGivesUpInBoundedTime) {
    // The master never reads, so the pseudo-terminal's buffers fill and stay full.
    serial::posix::TtyComm impatient(table, 100);
    HANDLE h = impatient.createFile("\\\\.\\COM5");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const std::vector<char> block(1 << 20, 'A');
    DWORD written = 0;

    const auto start = Clock::now();
    EXPECT_FALSE(impatient.writeFile(h, block.data(), static_cast<DWORD>(block.size()), &written));
    EXPECT_LT(Clock::now() - start, kWaitLimit);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, block.size());
}

TEST_F(TtyCommOnPty, WriteOfALargeBlockWaitsForRoomAndDeliversEveryByte) {
    HANDLE h = OpenSlave();
    std::string block;
    for (int i = 0; i < (1 << 20); ++i) {
        block += static_cast<char>('0' + i % 43);
    }
    // The device side drains the line meanwhile; the block is far larger than the
    // pseudo-terminal's buffers, so the write must wait for room again and again.
    std::string received;
    std::thread device([&] { received = pty.Receive(block.size()); });
    DWORD written = 0;
    const BOOL ok = comm.writeFile(h, block.data(), static_cast<DWORD>(block.size()), &written);
    device.join();

    EXPECT_TRUE(ok);
    EXPECT_EQ(written, block.size());
    EXPECT_TRUE(received == block) << "received " << received.size() << " bytes";
}

} // namespace

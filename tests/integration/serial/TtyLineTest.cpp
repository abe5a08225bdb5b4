// The Linux serial line over a real pseudo-terminal pair: the test plays the device on the master
// side, the line opens the slave side.
#include "serial/posix/TtyLine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace {

using serial::Dsr;
using serial::Line;
using serial::posix::TtyLine;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class PtyPair {
public:
    PtyPair() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        char name[128] = {};
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 &&
            ::ptsname_r(m_master, name, sizeof name) == 0) {
            m_slave = name;
        }
    }
    ~PtyPair() { Hangup(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0 && !m_slave.empty(); }
    const std::string& slave() const { return m_slave; }
    // The device goes away: the master closes and the slave's reads fail.
    void Hangup() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }
    bool Send(const std::string& bytes) const {
        return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // What the line sent, until count bytes have come or two seconds have passed.
    std::string Receive(std::size_t count) const {
        std::string got;
        const auto start = Clock::now();
        while (got.size() < count && MsSince(start) < 2000) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char buffer[4096];
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                got.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
            }
        }
        return got;
    }
    // The slave's settings: the master side reports those of its slave.
    termios Settings() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(m_master, &t), 0);
        return t;
    }

private:
    int m_master = -1;
    std::string m_slave;
};

class TtyLineOnPty : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }

    PtyPair pty;
};

TEST_F(TtyLineOnPty, OpensRawEightNoneOneAtEachSpeedWithoutModemStatus) {
    TtyLine line(pty.slave());
    EXPECT_EQ(line.name(), pty.slave());
    ASSERT_TRUE(line.open(9600)) << line.lastError().text;
    termios t = pty.Settings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.dsr(), Dsr::kUnknown) << "a pseudo-terminal has no modem lines";

    ASSERT_TRUE(line.setSpeed(115200));
    t = pty.Settings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_FALSE(line.setSpeed(14400)) << "no termios constant: refused, not garbled";
    t = pty.Settings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
}

TEST_F(TtyLineOnPty, WritesEveryByteAndReadsWhatHasComeKeepingTheRestForTheNextRead) {
    TtyLine line(pty.slave());
    ASSERT_TRUE(line.open(115200));
    const std::string row(":1000\r\n\0\x13", 9);
    ASSERT_TRUE(line.write(row));
    EXPECT_EQ(pty.Receive(9), row) << "bytes pass unchanged";

    ASSERT_TRUE(pty.Send("\x13~\x11"));
    char c[2] = {};
    ASSERT_EQ(line.read(c, 1, 1000), 1);
    EXPECT_EQ(c[0], '\x13');
    // The rest came with the first read; it is handed out without waiting.
    const auto start = Clock::now();
    EXPECT_EQ(line.read(c, 2, 1000), 2);
    EXPECT_EQ(std::string(c, 2), "~\x11");
    EXPECT_LT(MsSince(start), 50);
}

TEST_F(TtyLineOnPty, AReadWaitsInTheKernelUpToItsLimitAndTakesACharacterTheMomentItComes) {
    TtyLine line(pty.slave());
    ASSERT_TRUE(line.open(115200));
    char c = 0;
    for (const std::uint32_t limit : {0u, 30u, 250u}) {
        const auto start = Clock::now();
        EXPECT_EQ(line.read(&c, 1, limit), 0);
        EXPECT_GE(MsSince(start), static_cast<long>(limit));
        EXPECT_LT(MsSince(start), static_cast<long>(limit) + 150);
    }
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        pty.Send("?");
    });
    const auto start = Clock::now();
    EXPECT_EQ(line.read(&c, 1, 2000), 1);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(c, '?');
    device.join();
}

TEST_F(TtyLineOnPty, WhatTheDeviceIsToSendIsAwaitedWholeButFewerOrLateCharactersAreNotMissed) {
    TtyLine line(pty.slave());
    // At 300 baud ten characters and their three-character answer take 433 ms on the line.
    ASSERT_TRUE(line.open(300));
    ASSERT_TRUE(line.write(":000000FF\n"));
    EXPECT_EQ(pty.Receive(10).size(), 10u);
    // The answer comes a character at a time while the line waits for it: one read takes all.
    line.expect(3);
    std::thread device([&] {
        for (const char* c : {"\x13", "~", "\x11"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pty.Send(c);
        }
    });
    char c = 0;
    ASSERT_EQ(line.read(&c, 1, 3000), 1);
    EXPECT_EQ(c, '\x13');
    device.join();
    pty.Hangup();
    char rest[2] = {};
    EXPECT_EQ(line.read(rest, 2, 0), 2) << "the rest came with the first read";
    EXPECT_EQ(std::string(rest, 2), "~\x11");
    EXPECT_EQ(line.read(&c, 1, 0), Line::kReadFailed);
}

TEST_F(TtyLineOnPty, FewerCharactersThanAwaitedOrNoneAtFirstAreTakenWithoutWaitingForTheLimit) {
    TtyLine line(pty.slave());
    ASSERT_TRUE(line.open(115200));
    char c = 0;
    // Three awaited, two come (NAK and XON in place of XOFF, "~", XON): the first is taken as
    // soon as the three could have come, not at the wait's limit.
    line.expect(3);
    ASSERT_TRUE(pty.Send("\x15\x11"));
    auto start = Clock::now();
    ASSERT_EQ(line.read(&c, 1, 5000), 1);
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_EQ(c, '\x15');
    ASSERT_EQ(line.read(&c, 1, 0), 1);
    EXPECT_EQ(c, '\x11');
    // Three awaited, nothing comes for a while, then one: that one ends the wait.
    line.expect(3);
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pty.Send("@");
    });
    start = Clock::now();
    ASSERT_EQ(line.read(&c, 1, 3000), 1);
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_EQ(c, '@');
    device.join();
    // Nothing at all within the limit: nothing read.
    line.expect(3);
    EXPECT_EQ(line.read(&c, 1, 50), 0);
}

TEST_F(TtyLineOnPty, PurgeAndAChangeOfSpeedDropWhatCameBeforeReadAheadIncluded) {
    TtyLine line(pty.slave());
    ASSERT_TRUE(line.open(9600));
    ASSERT_TRUE(pty.Send("abc"));
    char c = 0;
    ASSERT_EQ(line.read(&c, 1, 1000), 1); // "bc" is read ahead
    ASSERT_TRUE(line.purgeInput());
    EXPECT_EQ(line.read(&c, 1, 0), 0);

    ASSERT_TRUE(pty.Send("noise"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(line.setSpeed(115200));
    EXPECT_EQ(line.read(&c, 1, 50), 0);
}

TEST_F(TtyLineOnPty, AHungUpLineFailsItsReadAtOnceWithTheSystemsReason) {
    TtyLine line(pty.slave());
    ASSERT_TRUE(line.open(115200));
    pty.Hangup();
    char c = 0;
    const auto start = Clock::now();
    EXPECT_EQ(line.read(&c, 1, 2000), Line::kReadFailed);
    EXPECT_LT(MsSince(start), 500);
    EXPECT_NE(line.lastError().code, 0);
    EXPECT_FALSE(line.lastError().text.empty());
}

TEST_F(TtyLineOnPty, NoOneElseOpensTheLineWhileItIsOpenAndEveryoneMayAfterwards) {
    TtyLine line(pty.slave());
    ASSERT_TRUE(line.open(9600));
    TtyLine other(pty.slave());
    EXPECT_FALSE(other.open(9600)) << "an update of the same line in this process";
    EXPECT_EQ(other.lastError().cause, base::SystemError::Cause::kBusy);
    // At the application firmware's speed and at the boot loader's, as an update goes.
    for (const std::uint32_t baud : {9600u, 115200u}) {
        ASSERT_TRUE(line.setSpeed(baud));
        const int fd = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            // Anyone but root is kept out by TIOCEXCL.
            EXPECT_EQ(errno, EBUSY) << baud;
            continue;
        }
        // Root passes TIOCEXCL, but may ask whether it is set; the lock still tells a program
        // that asks.
        EXPECT_EQ(::geteuid(), 0u);
        int exclusive = 0;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_NE(exclusive, 0) << "the line is open to other programs at " << baud;
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
    }
    line.close();
    EXPECT_TRUE(other.open(9600)) << other.lastError().text;
}

TEST(TtyLine, AFailedOpenSaysWhyInTheSystemsWordsAndAUsersTerms) {
    TempDir dir;
    TtyLine missing(dir.path("ttyUSB9"));
    EXPECT_FALSE(missing.open(9600));
    EXPECT_EQ(missing.lastError().cause, base::SystemError::Cause::kNoSuchPort);
    EXPECT_EQ(missing.lastError().text, "No such file or directory");

    dir.write("plain", "");
    TtyLine file(dir.path("plain"));
    EXPECT_FALSE(file.open(9600));
    EXPECT_EQ(file.lastError().cause, base::SystemError::Cause::kNotASerialPort);
    EXPECT_EQ(file.lastError().text, "Inappropriate ioctl for device") << "the system's words";

    char c = 0;
    EXPECT_EQ(file.read(&c, 1, 10), Line::kReadFailed) << "a line that is not open";
    EXPECT_FALSE(file.write("x"));
    EXPECT_EQ(file.dsr(), Dsr::kUnknown);
}

} // namespace

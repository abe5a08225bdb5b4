// The comm seam over a line: paths and handles, the settings it records, DTR and RTS, what the
// program is told has come, reads, purges, and a line that fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/VirtualClock.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/InProcessLine.h"
#include "sim/Protocol.h"
#include "support/LineComm.h"

namespace {

const char* const kPath = "\\\\.\\COM3";
const std::string kGreeting = std::string("KYST-SM-2.10\r?") + sim::kXon;

// The device on its line, and the seam over it, on one virtual clock.
struct CommBench {
    explicit CommBench(sim::DeviceConfig config = sim::DeviceConfig(),
                       const std::string& name = "COM3", std::vector<std::string> names = {"COM3"})
        : device(std::move(config)), line(clock, device, name, std::move(names)), comm(line) {}

    // Opens the port the way a program does: queues, time-outs, the block at the speed with DTR
    // and RTS enabled, then the input purged.
    HANDLE open(DWORD baud) {
        const HANDLE h = comm.createFile(kPath);
        if (h == INVALID_HANDLE_VALUE) {
            return h;
        }
        comm.setupComm(h, 4096, 4096);
        COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
        comm.setCommTimeouts(h, &timeouts);
        EXPECT_TRUE(configure(h, baud));
        EXPECT_TRUE(comm.purgeComm(h, PURGE_RXCLEAR));
        return h;
    }
    BOOL configure(HANDLE h, DWORD baud) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = baud;
        dcb.fBinary = 1;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        return comm.setCommState(h, &dcb);
    }
    DWORD waiting(HANDLE h) {
        COMSTAT stat{};
        DWORD errors = 0;
        EXPECT_TRUE(comm.clearCommError(h, &errors, &stat));
        return stat.cbInQue;
    }
    bool write(HANDLE h, const std::string& text) {
        DWORD written = 0;
        return comm.writeFile(h, text.data(), static_cast<DWORD>(text.size()), &written) &&
               written == text.size();
    }

    base::VirtualClock clock;
    sim::DeviceModel device;
    sim::InProcessLine line;
    LineComm comm;
};

sim::DeviceConfig WithFault(const char* entry) {
    sim::DeviceConfig config;
    sim::Fault fault;
    std::string error;
    EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << error;
    config.faults.push_back(fault);
    return config;
}

// A line that always has more to give, each read up to what is asked.
class EndlessLine : public serial::Line {
public:
    const std::string& name() const override { return m_name; }
    bool open(std::uint32_t) override { return true; }
    void close() override {}
    bool setSpeed(std::uint32_t) override { return true; }
    bool write(const std::string&) override { return true; }
    int read(char* buffer, int max, std::uint32_t) override {
        std::fill_n(buffer, max, 'x');
        taken += max;
        return max;
    }
    bool purgeInput() override { return true; }
    serial::Dsr dsr() override { return serial::Dsr::kUnknown; }
    base::SystemError lastError() const override { return base::SystemError(); }

    long taken = 0;

private:
    std::string m_name = "COM9";
};

TEST(LineCommOpen, OnlyTheLinesPathOpensAtTheSpeedAPortOpensWith) {
    CommBench bench;
    EXPECT_EQ(bench.comm.createFile("\\\\.\\COM4"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.lastError().cause, base::SystemError::Cause::kNoSuchPort);
    EXPECT_EQ(bench.comm.createFile("COM3"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.createFile(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.comm.isOpen());
    EXPECT_EQ(bench.line.openCount(), 0) << "the line is not tried for another path";
    HANDLE h = bench.comm.createFile(kPath);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NE(h, nullptr);
    EXPECT_TRUE(bench.comm.isOpen());
    EXPECT_TRUE(bench.line.isOpen());
    EXPECT_EQ(bench.comm.openPath(), kPath);
    EXPECT_EQ(bench.comm.openCount(), 1);
    EXPECT_EQ(bench.comm.failedOpenCount(), 3);
    EXPECT_EQ(bench.device.lineBaud(), 9600u);
}

TEST(LineCommOpen, ALineOfAnotherNameAnswersToItsOwnPath) {
    CommBench bench(sim::DeviceConfig(), "COM12", {"COM1", "COM12"});
    EXPECT_EQ(bench.comm.createFile(kPath), INVALID_HANDLE_VALUE);
    HANDLE h = bench.comm.createFile("\\\\.\\COM12");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.line.openName(), "COM12");
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_NE(bench.comm.createFile("\\\\.\\COM12"), INVALID_HANDLE_VALUE);
}

TEST(LineCommOpen, SecondOpenFailsWhileOpen) {
    CommBench bench;
    HANDLE h = bench.comm.createFile(kPath);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.createFile(kPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.lastError().cause, base::SystemError::Cause::kBusy);
    EXPECT_EQ(bench.line.openCount(), 1) << "the open line is left alone";
    EXPECT_EQ(bench.line.closeCount(), 0);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_NE(bench.comm.createFile(kPath), INVALID_HANDLE_VALUE);
}

TEST(LineCommOpen, ALineThatDoesNotOpenFailsTheOpenWithTheLinesError) {
    CommBench bench;
    bench.line.failNextOpens(2);
    EXPECT_EQ(bench.comm.createFile(kPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.lastError().cause, base::SystemError::Cause::kBusy);
    EXPECT_EQ(bench.comm.createFile(kPath), INVALID_HANDLE_VALUE);
    EXPECT_NE(bench.comm.createFile(kPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.failedOpenCount(), 2);
    EXPECT_EQ(bench.comm.openCount(), 1);
    EXPECT_TRUE(bench.device.log().hasEvent("held by another program"));
}

TEST(LineCommHandles, ClosedOrForeignHandleFailsEveryCall) {
    CommBench bench;
    HANDLE h = bench.comm.createFile(kPath);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_FALSE(bench.comm.isOpen());
    EXPECT_FALSE(bench.line.isOpen());
    EXPECT_EQ(bench.comm.closeCount(), 1);

    DWORD value = 0;
    COMSTAT stat;
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    char c = 0;
    EXPECT_FALSE(bench.comm.closeHandle(h));
    EXPECT_FALSE(bench.comm.setupComm(h, 1, 1));
    EXPECT_FALSE(bench.comm.setCommTimeouts(h, &timeouts));
    EXPECT_FALSE(bench.comm.setCommState(h, &dcb));
    EXPECT_FALSE(bench.comm.setCommMask(h, 0));
    EXPECT_FALSE(bench.comm.escapeCommFunction(h, CLRDTR));
    EXPECT_FALSE(bench.comm.purgeComm(h, PURGE_RXCLEAR));
    EXPECT_FALSE(bench.comm.clearCommError(h, &value, &stat));
    EXPECT_FALSE(bench.comm.readFile(h, &c, 1, &value));
    EXPECT_FALSE(bench.comm.writeFile(h, "x", 1, &value));
    EXPECT_FALSE(bench.comm.getCommModemStatus(h, &value));
    EXPECT_EQ(bench.comm.badHandleCalls(), 11);
    EXPECT_EQ(bench.comm.closeCount(), 1);
    EXPECT_EQ(bench.line.closeCount(), 1);

    HANDLE again = bench.comm.createFile(kPath);
    EXPECT_NE(again, h);
    EXPECT_FALSE(bench.comm.closeHandle(h));
    EXPECT_TRUE(bench.comm.closeHandle(again));
}

TEST(LineCommSettings, RecordsSettingsQueuesMaskAndTimeouts) {
    CommBench bench;
    const HANDLE h = bench.open(9600);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.baudRate(), 9600u);
    EXPECT_EQ(bench.comm.lastDcb().ByteSize, 8);
    EXPECT_EQ(bench.comm.inQueueSize(), 4096u);
    EXPECT_EQ(bench.comm.outQueueSize(), 4096u);
    EXPECT_EQ(bench.comm.timeouts().ReadIntervalTimeout, MAXDWORD);
    EXPECT_TRUE(bench.comm.setCommMask(h, EV_RXCHAR));
    EXPECT_EQ(bench.comm.commMask(), static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(bench.line.baudHistory(), (std::vector<std::uint32_t>{9600}))
        << "a block at the speed the line has leaves the line alone";
    ASSERT_TRUE(bench.configure(h, 115200));
    EXPECT_EQ(bench.comm.baudRate(), 115200u);
    EXPECT_EQ(bench.comm.baudHistory(), (std::vector<DWORD>{9600, 115200}));
    EXPECT_EQ(bench.line.baudHistory(), (std::vector<std::uint32_t>{9600, 115200}));
    EXPECT_EQ(bench.device.lineBaud(), 115200u);
    EXPECT_TRUE(bench.device.log().hasEvent("line set to 115200 baud"));
}

TEST(LineCommSettings, DtrAndRtsFollowTheBlockAndTheEscapes) {
    CommBench bench;
    const HANDLE h = bench.comm.createFile(kPath);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.comm.dtr());
    EXPECT_FALSE(bench.comm.rts());
    ASSERT_TRUE(bench.configure(h, 9600));
    EXPECT_TRUE(bench.comm.dtr());
    EXPECT_TRUE(bench.comm.rts());
    EXPECT_TRUE(bench.comm.escapeCommFunction(h, CLRDTR));
    EXPECT_FALSE(bench.comm.dtr());
    EXPECT_TRUE(bench.comm.rts());
    EXPECT_TRUE(bench.comm.escapeCommFunction(h, CLRRTS));
    EXPECT_FALSE(bench.comm.rts());
    EXPECT_TRUE(bench.comm.escapeCommFunction(h, SETDTR));
    EXPECT_TRUE(bench.comm.dtr());
    EXPECT_TRUE(bench.comm.escapeCommFunction(h, SETRTS));
    EXPECT_TRUE(bench.comm.rts());
    EXPECT_FALSE(bench.comm.escapeCommFunction(h, 99));
    // The line's own control lines drop as it closes: DTR first, then RTS.
    EXPECT_FALSE(bench.device.log().hasEvent("DTR off"));
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_FALSE(bench.comm.dtr());
    EXPECT_FALSE(bench.comm.rts());
    EXPECT_TRUE(bench.device.log().hasEvent("DTR off, RTS on"));
    EXPECT_TRUE(bench.device.log().hasEvent("DTR off, RTS off"));
}

TEST(LineCommSettings, ModemStatusShowsDsrAsTheLineHasIt) {
    sim::DeviceConfig app;
    app.mode = sim::Mode::ApplicationFirmware;
    CommBench withApp(app);
    const HANDLE a = withApp.open(9600);
    DWORD status = 0xFFFF;
    ASSERT_TRUE(withApp.comm.getCommModemStatus(a, &status));
    EXPECT_EQ(status, static_cast<DWORD>(MS_DSR_ON));

    CommBench withBoot;
    const HANDLE b = withBoot.open(115200);
    status = 0xFFFF;
    ASSERT_TRUE(withBoot.comm.getCommModemStatus(b, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_FALSE(withBoot.comm.getCommModemStatus(b, nullptr));

    // A line with no modem status: the call fails.
    EndlessLine endless;
    LineComm comm(endless);
    const HANDLE e = comm.createFile("\\\\.\\COM9");
    ASSERT_NE(e, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(comm.getCommModemStatus(e, &status));
}

TEST(LineCommInput, TheCountIsWhatTheLineHeldTakenIntoTheQueue) {
    CommBench bench;
    const HANDLE h = bench.open(115200);
    EXPECT_EQ(bench.waiting(h), 0u);
    ASSERT_TRUE(bench.write(h, sim::kIdentificationRequest));
    EXPECT_EQ(bench.waiting(h), 15u);
    EXPECT_EQ(bench.comm.queued(), 15u);
    EXPECT_EQ(bench.line.waiting(), 0u) << "taken from the line";
    char buffer[64] = {};
    DWORD got = 0;
    ASSERT_TRUE(bench.comm.readFile(h, buffer, 4, &got));
    EXPECT_EQ(std::string(buffer, got), "KYST");
    EXPECT_EQ(bench.waiting(h), 11u);
}

TEST(LineCommInput, ReadTakesAtMostWhatIsReadableAndNeverWaits) {
    CommBench bench;
    const HANDLE h = bench.open(115200);
    char buffer[64] = {};
    DWORD got = 99;
    const DWORD before = bench.clock.now();
    EXPECT_TRUE(bench.comm.readFile(h, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(bench.write(h, sim::kIdentificationRequest));
    EXPECT_TRUE(bench.comm.readFile(h, buffer, 4, &got));
    EXPECT_EQ(std::string(buffer, got), "KYST");
    EXPECT_TRUE(bench.comm.readFile(h, buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), kGreeting.substr(4));
    EXPECT_EQ(bench.clock.now(), before);
}

TEST(LineCommInput, PurgeEmptiesTheQueueAndTheLineAndIsCounted) {
    sim::DeviceConfig config;
    config.paceBaud = 1200; // 8.334 ms per character
    CommBench bench(config);
    const HANDLE h = bench.open(115200);
    ASSERT_TRUE(bench.write(h, sim::kIdentificationRequest));
    // The request takes 100 ms to arrive; two reply characters are on the wire 20 ms later, a
    // third by 6 ms after.
    bench.clock.advance(120);
    EXPECT_EQ(bench.waiting(h), 2u);
    bench.clock.advance(6);
    ASSERT_TRUE(bench.comm.purgeComm(h, PURGE_RXCLEAR));
    EXPECT_EQ(bench.comm.queued(), 0u);
    EXPECT_EQ(bench.device.stats().purgedBytes, 1u) << "the third, still on the line";
    EXPECT_EQ(bench.waiting(h), 0u);
    EXPECT_EQ(bench.comm.purgeCount(), 2);
    EXPECT_EQ(bench.line.purgeCount(), 3) << "the change of speed's, the open's and this one";
    EXPECT_TRUE(bench.comm.purgeComm(h, PURGE_TXCLEAR));
    EXPECT_EQ(bench.line.purgeCount(), 3) << "only the input is the line's to purge";
    EXPECT_EQ(bench.comm.purgeCount(), 3);
    bench.clock.advance(200);
    std::string rest(bench.waiting(h), '\0');
    DWORD got = 0;
    ASSERT_TRUE(bench.comm.readFile(h, &rest[0], static_cast<DWORD>(rest.size()), &got));
    EXPECT_EQ(rest, kGreeting.substr(3));
}

TEST(LineCommInput, TheQueueIsBoundedAndTheRestStaysOnTheLine) {
    EndlessLine endless;
    LineComm comm(endless);
    const HANDLE h = comm.createFile("\\\\.\\COM9");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    COMSTAT stat{};
    DWORD errors = 0;
    ASSERT_TRUE(comm.clearCommError(h, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, LineComm::kInputQueueBytes);
    EXPECT_EQ(endless.taken, static_cast<long>(LineComm::kInputQueueBytes));
    char buffer[100];
    DWORD got = 0;
    ASSERT_TRUE(comm.readFile(h, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 100u);
    EXPECT_EQ(endless.taken, static_cast<long>(LineComm::kInputQueueBytes))
        << "a full queue takes nothing more";
    ASSERT_TRUE(comm.clearCommError(h, &errors, &stat));
    EXPECT_EQ(stat.cbInQue, LineComm::kInputQueueBytes);
}

TEST(LineCommInput, ALineThatFailsFailsTheCallsUntilOpenedAgain) {
    CommBench bench(WithFault("version:hangup:once"));
    const HANDLE h = bench.open(115200);
    ASSERT_TRUE(bench.write(h, sim::kIdentificationRequest));
    ASSERT_TRUE(bench.device.hungUp());
    COMSTAT stat{};
    DWORD value = 0;
    char c = 0;
    EXPECT_FALSE(bench.comm.clearCommError(h, &value, &stat));
    EXPECT_FALSE(bench.comm.readFile(h, &c, 1, &value));
    EXPECT_FALSE(bench.comm.getCommModemStatus(h, &value));
    EXPECT_FALSE(bench.comm.purgeComm(h, PURGE_RXCLEAR));
    EXPECT_FALSE(bench.comm.writeFile(h, "x", 1, &value));
    EXPECT_FALSE(bench.configure(h, 9600));
    EXPECT_EQ(bench.comm.lastError().cause, bench.line.lastError().cause);
    EXPECT_EQ(bench.comm.badHandleCalls(), 0);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    const HANDLE again = bench.open(115200);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(bench.write(again, sim::kIdentificationRequest));
    EXPECT_EQ(bench.waiting(again), 15u);
}

TEST(LineCommInput, TheSeamNeverMovesTheClock) {
    CommBench bench;
    const HANDLE h = bench.open(115200);
    const auto reads = bench.clock.reads();
    const DWORD now = bench.clock.now();
    COMSTAT stat;
    DWORD errors = 0;
    DWORD status = 0;
    char c = 0;
    for (int i = 0; i < 100; ++i) {
        bench.comm.clearCommError(h, &errors, &stat);
        bench.comm.getCommModemStatus(h, &status);
        bench.comm.readFile(h, &c, 1, &status);
    }
    EXPECT_EQ(bench.clock.reads(), reads);
    EXPECT_EQ(bench.clock.now(), now);
}

TEST(LineCommClose, CloseClosesTheLineAndDropsTheQueue) {
    CommBench bench;
    const HANDLE h = bench.open(115200);
    ASSERT_TRUE(bench.write(h, sim::kIdentificationRequest));
    EXPECT_EQ(bench.waiting(h), 15u);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_FALSE(bench.line.isOpen());
    EXPECT_EQ(bench.comm.queued(), 0u);
    const HANDLE again = bench.open(115200);
    EXPECT_EQ(bench.waiting(again), 0u);
    EXPECT_EQ(bench.line.closeCount(), 1);
    EXPECT_EQ(bench.line.openCount(), 2);
}

} // namespace

// The in-process port: opening and closing, handles, line state, purge, timing on the clock.
#include "ProgramSide.h"

#include <gtest/gtest.h>

namespace {

using simtest::Bench;
using simtest::kGreeting;
using simtest::kPort;

TEST(InProcessPortOpen, OnlyConfiguredPortsOpen) {
    Bench bench;
    EXPECT_EQ(bench.comm.createFile("\\\\.\\COM4"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.createFile("COM3"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.createFile(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.comm.isOpen());
    HANDLE h = bench.comm.createFile(kPort);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NE(h, nullptr);
    EXPECT_TRUE(bench.comm.isOpen());
    EXPECT_EQ(bench.comm.openPath(), kPort);
    EXPECT_EQ(bench.comm.openCount(), 1);
    EXPECT_EQ(bench.comm.failedOpenCount(), 3);
}

TEST(InProcessPortOpen, SeveralPortsCanBeServed) {
    Bench bench;
    bench.comm.setPortPaths({"\\\\.\\COM1", "\\\\.\\COM12"});
    EXPECT_EQ(bench.comm.createFile(kPort), INVALID_HANDLE_VALUE);
    HANDLE h = bench.comm.createFile("\\\\.\\COM12");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_NE(bench.comm.createFile("\\\\.\\COM1"), INVALID_HANDLE_VALUE);
}

TEST(InProcessPortOpen, SecondOpenFailsWhileOpen) {
    Bench bench;
    HANDLE h = bench.comm.createFile(kPort);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.createFile(kPort), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_NE(bench.comm.createFile(kPort), INVALID_HANDLE_VALUE);
}

TEST(InProcessPortOpen, PortHeldByAnotherProgramFailsTheFirstOpens) {
    Bench bench;
    bench.comm.failNextOpens(2);
    EXPECT_EQ(bench.comm.createFile(kPort), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.createFile(kPort), INVALID_HANDLE_VALUE);
    EXPECT_NE(bench.comm.createFile(kPort), INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.comm.failedOpenCount(), 2);
    EXPECT_EQ(bench.comm.openCount(), 1);
    EXPECT_TRUE(bench.device.log().hasEvent("held by another program"));
}

TEST(InProcessPortHandles, ClosedOrForeignHandleFailsEveryCall) {
    Bench bench;
    HANDLE h = bench.comm.createFile(kPort);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(bench.comm.closeHandle(h));
    EXPECT_FALSE(bench.comm.isOpen());
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

    HANDLE again = bench.comm.createFile(kPort);
    EXPECT_NE(again, h);
    EXPECT_FALSE(bench.comm.closeHandle(h));
    EXPECT_TRUE(bench.comm.closeHandle(again));
}

TEST(InProcessPortLine, RecordsSettingsQueuesMaskAndTimeouts) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_EQ(bench.comm.baudRate(), 9600u);
    EXPECT_EQ(bench.comm.lastDcb().ByteSize, 8);
    EXPECT_EQ(bench.comm.inQueueSize(), 4096u);
    EXPECT_EQ(bench.comm.timeouts().ReadIntervalTimeout, MAXDWORD);
    EXPECT_TRUE(bench.comm.setCommMask(bench.program.handle(), EV_RXCHAR));
    EXPECT_EQ(bench.comm.commMask(), static_cast<DWORD>(EV_RXCHAR));
    ASSERT_TRUE(bench.program.configure(115200));
    EXPECT_EQ(bench.comm.baudRate(), 115200u);
    EXPECT_EQ(bench.comm.baudHistory(), (std::vector<DWORD>{9600, 115200}));
    EXPECT_EQ(bench.device.lineBaud(), 115200u);
    EXPECT_TRUE(bench.device.log().hasEvent("line set to 115200 baud"));
}

TEST(InProcessPortLine, DtrAndRtsFollowTheBlockAndTheEscapes) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_TRUE(bench.comm.dtr());
    EXPECT_TRUE(bench.comm.rts());
    EXPECT_TRUE(bench.comm.escapeCommFunction(bench.program.handle(), CLRDTR));
    EXPECT_FALSE(bench.comm.dtr());
    EXPECT_TRUE(bench.comm.rts());
    EXPECT_TRUE(bench.comm.escapeCommFunction(bench.program.handle(), CLRRTS));
    EXPECT_FALSE(bench.comm.rts());
    EXPECT_TRUE(bench.comm.escapeCommFunction(bench.program.handle(), SETDTR));
    EXPECT_TRUE(bench.comm.dtr());
    EXPECT_FALSE(bench.comm.escapeCommFunction(bench.program.handle(), 99));
    EXPECT_TRUE(bench.device.log().hasEvent("DTR off, RTS off"));
}

TEST(InProcessPortLine, ModemStatusShowsDsrAsTheFirmwareHoldsIt) {
    sim::DeviceConfig app;
    app.mode = sim::Mode::ApplicationFirmware;
    Bench withApp(app);
    ASSERT_TRUE(withApp.program.open(kPort, 9600));
    DWORD status = 0xFFFF;
    ASSERT_TRUE(withApp.comm.getCommModemStatus(withApp.program.handle(), &status));
    EXPECT_EQ(status, static_cast<DWORD>(MS_DSR_ON));

    Bench withBoot;
    ASSERT_TRUE(withBoot.program.open(kPort, 115200));
    status = 0xFFFF;
    ASSERT_TRUE(withBoot.comm.getCommModemStatus(withBoot.program.handle(), &status));
    EXPECT_EQ(status, 0u);
}

TEST(InProcessPortInput, PurgeDropsOnlyWhatHasArrived) {
    sim::DeviceConfig config;
    config.paceBaud = 1200; // 8.334 ms per character
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    // The request takes 100 ms to arrive; two reply characters are on the wire 20 ms later.
    bench.program.pause(120);
    EXPECT_EQ(bench.program.waiting(), 2u);
    ASSERT_TRUE(bench.program.purge());
    EXPECT_EQ(bench.program.waiting(), 0u);
    EXPECT_EQ(bench.program.collect(200), std::string("ST-SM-2.10\r?") + sim::kXon);
    EXPECT_EQ(bench.comm.purgeCount(), 2);
}

TEST(InProcessPortInput, ReadTakesAtMostWhatIsReadableAndNeverWaits) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    char buffer[64] = {};
    DWORD got = 99;
    const DWORD before = bench.clock.now();
    EXPECT_TRUE(bench.comm.readFile(bench.program.handle(), buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);
    bench.program.write(sim::kIdentificationRequest);
    EXPECT_TRUE(bench.comm.readFile(bench.program.handle(), buffer, 4, &got));
    EXPECT_EQ(std::string(buffer, got), "KYST");
    EXPECT_TRUE(bench.comm.readFile(bench.program.handle(), buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), std::string("-SM-2.10\r?") + sim::kXon);
    EXPECT_EQ(bench.clock.now(), before);
}

TEST(InProcessPortInput, TransportNeverMovesTheClock) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    const auto reads = bench.clock.reads();
    const DWORD now = bench.clock.now();
    COMSTAT stat;
    DWORD errors = 0;
    DWORD status = 0;
    for (int i = 0; i < 100; ++i) {
        bench.comm.clearCommError(bench.program.handle(), &errors, &stat);
        bench.comm.getCommModemStatus(bench.program.handle(), &status);
    }
    EXPECT_EQ(bench.clock.reads(), reads);
    EXPECT_EQ(bench.clock.now(), now);
}

TEST(InProcessPortTime, DelaysHoldAcrossTheWrapOfTheTickCounter) {
    sim::DeviceConfig config;
    config.faults.push_back(sim::Fault{sim::Step::Ready, 0, sim::Action::Delay, "", 1000, false});
    Bench bench(config);
    bench.clock.advance(0xFFFFFFFFu - 500 - bench.clock.now()); // 500 ms before the wrap
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    const DWORD sentAt = bench.clock.now();
    bench.program.write(sim::kIdentificationRequest);
    EXPECT_EQ(bench.program.take(13), "KYST-SM-2.10\r");
    EXPECT_EQ(bench.program.next(), '?');
    EXPECT_LT(bench.clock.now(), sentAt); // the counter wrapped
    EXPECT_GE(static_cast<DWORD>(bench.program.lastCharAt() - sentAt), 1000u);
    EXPECT_LE(static_cast<DWORD>(bench.program.lastCharAt() - sentAt), 1003u);
}

TEST(InProcessPortBounds, LogStopsAtItsCap) {
    sim::DeviceConfig config;
    config.logCapBytes = 2000;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    for (int i = 0; i < 500; ++i) {
        bench.program.write("0123456789");
    }
    EXPECT_TRUE(bench.device.log().truncated());
    EXPECT_LE(bench.device.log().received().size(), 2000u);
    EXPECT_LE(bench.device.log().entries().size(), 2000u / 16 + 1);
    EXPECT_TRUE(bench.device.log().hasEvent("log full"));
}

TEST(InProcessPortBounds, OutputBeyondItsCapIsLostAndCounted) {
    sim::DeviceConfig config;
    config.outputCapBytes = 10;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    EXPECT_EQ(bench.program.waiting(), 10u);
    EXPECT_EQ(bench.device.stats().outputLost, 5u);
}

TEST(InProcessPortClose, CloseDropsUnreadOutputAndIsLogged) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    bench.program.close();
    EXPECT_FALSE(bench.comm.dtr());
    EXPECT_FALSE(bench.comm.rts());
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    EXPECT_EQ(bench.program.waiting(), 0u);
    EXPECT_TRUE(bench.device.log().hasEvent("15 unread characters lost"));
    EXPECT_EQ(bench.program.identify(), kGreeting);
}

} // namespace

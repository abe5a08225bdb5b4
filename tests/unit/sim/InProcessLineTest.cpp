// The in-process line: its names, failing opens, what the device sees of each operation, reads
// and the virtual clock, the hangup, the counters.
#include "ProgramSide.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/VirtualClock.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/InProcessLine.h"
#include "sim/Protocol.h"

namespace {

using serial::Dsr;
using Cause = base::SystemError::Cause;

// A device and its line on one virtual clock.
struct LineBench {
    explicit LineBench(sim::DeviceConfig config = sim::DeviceConfig(),
                       const std::string& name = "COM3")
        : device(std::move(config)), line(clock, device, name) {}
    base::VirtualClock clock;
    sim::DeviceModel device;
    sim::InProcessLine line;

    // The device's log events from the index on, in order.
    std::vector<std::string> eventsFrom(std::size_t first) const {
        std::vector<std::string> events;
        const auto& entries = device.log().entries();
        for (std::size_t i = first; i < entries.size(); ++i) {
            if (entries[i].kind == sim::LogKind::Event) {
                events.push_back(entries[i].text);
            }
        }
        return events;
    }
    std::size_t logSize() const { return device.log().entries().size(); }
};

sim::DeviceConfig WithFault(const char* entry, sim::Mode mode = sim::Mode::BootLoader) {
    sim::DeviceConfig config;
    config.mode = mode;
    sim::Fault fault;
    std::string error;
    EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << error;
    config.faults.push_back(fault);
    return config;
}

using simtest::Bench;
using simtest::kGreeting;
using simtest::kPort;

TEST(InProcessLineOpen, OnlyTheNamesItAnswersToOpen) {
    LineBench bench(sim::DeviceConfig(), "COM4");
    EXPECT_EQ(bench.line.name(), "COM4");
    EXPECT_FALSE(bench.line.open(9600));
    EXPECT_EQ(bench.line.lastError().cause, Cause::kNoSuchPort);
    EXPECT_FALSE(bench.line.isOpen());
    EXPECT_TRUE(bench.device.log().hasEvent("open of COM4 failed: no such port"));
    EXPECT_EQ(bench.device.stats().opens, 0);

    ASSERT_TRUE(bench.line.open("COM3", 9600));
    EXPECT_EQ(bench.line.name(), "COM3");
    EXPECT_TRUE(bench.line.isOpen());
    EXPECT_EQ(bench.line.openName(), "COM3");
    EXPECT_EQ(bench.line.openCount(), 1);
    EXPECT_EQ(bench.line.failedOpenCount(), 1);
    EXPECT_EQ(bench.device.stats().opens, 1);
}

TEST(InProcessLineOpen, SeveralNamesCanBeServed) {
    LineBench bench;
    bench.line.setNames({"COM1", "COM12"});
    EXPECT_FALSE(bench.line.open(9600)); // COM3, no longer there
    ASSERT_TRUE(bench.line.open("COM12", 9600));
    EXPECT_EQ(bench.line.openName(), "COM12");
    bench.line.close();
    ASSERT_TRUE(bench.line.open("COM1", 9600));
    EXPECT_EQ(bench.line.openName(), "COM1");
    EXPECT_EQ(bench.line.openCount(), 2);
    EXPECT_EQ(bench.line.failedOpenCount(), 1);
}

TEST(InProcessLineOpen, PortHeldByAnotherProgramFailsTheFirstOpens) {
    LineBench bench;
    bench.line.failNextOpens(2);
    EXPECT_FALSE(bench.line.open(9600));
    EXPECT_EQ(bench.line.lastError().cause, Cause::kBusy);
    EXPECT_FALSE(bench.line.open(9600));
    EXPECT_TRUE(bench.line.open(9600));
    EXPECT_EQ(bench.line.failedOpenCount(), 2);
    EXPECT_EQ(bench.line.openCount(), 1);
    EXPECT_TRUE(bench.device.log().hasEvent("held by another program"));
}

TEST(InProcessLineOpen, ASecondOpenClosesTheLineFirst) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(9600));
    const std::size_t before = bench.logSize();
    ASSERT_TRUE(bench.line.open(115200));
    EXPECT_EQ(bench.line.openCount(), 2);
    EXPECT_EQ(bench.line.closeCount(), 1);
    EXPECT_EQ(bench.device.stats().closes, 1);
    EXPECT_EQ(bench.eventsFrom(before),
              (std::vector<std::string>{
                  "DTR off, RTS on", "DTR off, RTS off", "line closed", "open COM3",
                  "line opened (boot loader)",
                  "line set to 115200 baud, 8 data bits, parity 0, stop bits 0 (8N1)",
                  "DTR on, RTS on"}));
}

TEST(InProcessLineDevice, OpenSetsTheLineAndRaisesDtrAndRts) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(9600));
    EXPECT_EQ(
        bench.eventsFrom(0),
        (std::vector<std::string>{"open COM3", "line opened (boot loader)",
                                  "line set to 9600 baud, 8 data bits, parity 0, stop bits 0 (8N1)",
                                  "DTR on, RTS on"}));
    EXPECT_TRUE(bench.line.dtr());
    EXPECT_TRUE(bench.line.rts());
    EXPECT_EQ(bench.device.lineBaud(), 9600u);
    EXPECT_EQ(bench.line.baudHistory(), (std::vector<std::uint32_t>{9600}));
}

TEST(InProcessLineDevice, CloseDropsDtrThenRtsThenTheLine) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(115200));
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    const std::size_t before = bench.logSize();
    bench.line.close();
    EXPECT_EQ(bench.eventsFrom(before),
              (std::vector<std::string>{"DTR off, RTS on", "DTR off, RTS off",
                                        "line closed (15 unread characters lost)"}));
    EXPECT_FALSE(bench.line.isOpen());
    EXPECT_FALSE(bench.line.dtr());
    EXPECT_FALSE(bench.line.rts());
    EXPECT_EQ(bench.line.closeCount(), 1);
    bench.line.close();
    EXPECT_EQ(bench.line.closeCount(), 1) << "closing a closed line does nothing";
    EXPECT_EQ(bench.device.stats().closes, 1);
}

TEST(InProcessLineDevice, ANewSpeedPurgesTheInput) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(115200));
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    EXPECT_EQ(bench.line.waiting(), 15u);
    ASSERT_TRUE(bench.line.setSpeed(9600));
    EXPECT_EQ(bench.line.waiting(), 0u);
    EXPECT_EQ(bench.device.lineBaud(), 9600u);
    EXPECT_EQ(bench.device.stats().purgedBytes, 15u);
    EXPECT_EQ(bench.line.purgeCount(), 1);
    EXPECT_TRUE(bench.device.log().hasEvent("input purged (15 characters dropped)"));
    EXPECT_EQ(bench.line.baudHistory(), (std::vector<std::uint32_t>{115200, 9600}));
}

TEST(InProcessLineDevice, AFrameCarriesDataBitsParityAndStopBitsAndKeepsTheInput) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(115200));
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    ASSERT_TRUE(bench.line.frame(115200, 7, 2, 0));
    EXPECT_TRUE(bench.device.log().hasEvent(
        "line set to 115200 baud, 7 data bits, parity 2, stop bits 0 (not 8N1)"));
    EXPECT_EQ(bench.line.waiting(), 15u);
    EXPECT_EQ(bench.line.purgeCount(), 0);
}

TEST(InProcessLineDevice, ControlLinesAsGiven) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(9600));
    ASSERT_TRUE(bench.line.setControlLines(false, true));
    EXPECT_FALSE(bench.line.dtr());
    EXPECT_TRUE(bench.line.rts());
    ASSERT_TRUE(bench.line.setControlLines(false, false));
    EXPECT_FALSE(bench.line.rts());
    ASSERT_TRUE(bench.line.setControlLines(true, false));
    EXPECT_TRUE(bench.line.dtr());
    EXPECT_TRUE(bench.device.log().hasEvent("DTR off, RTS off"));
    EXPECT_TRUE(bench.device.log().hasEvent("DTR on, RTS off"));
}

TEST(InProcessLineDevice, DsrAsTheFirmwareHoldsIt) {
    sim::DeviceConfig app;
    app.mode = sim::Mode::ApplicationFirmware;
    LineBench withApp(app);
    EXPECT_EQ(withApp.line.dsr(), Dsr::kUnknown) << "closed";
    ASSERT_TRUE(withApp.line.open(9600));
    EXPECT_EQ(withApp.line.dsr(), Dsr::kOn);

    LineBench withBoot;
    ASSERT_TRUE(withBoot.line.open(115200));
    EXPECT_EQ(withBoot.line.dsr(), Dsr::kOff);
}

TEST(InProcessLineInput, ReadTakesAtMostWhatIsReadableAndNeverWaitsWithoutALimit) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(115200));
    char buffer[64] = {};
    const auto reads = bench.clock.reads();
    const std::uint32_t before = bench.clock.now();
    EXPECT_EQ(bench.line.read(buffer, sizeof buffer, 0), 0);
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    ASSERT_EQ(bench.line.read(buffer, 4, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "KYST");
    const int rest = bench.line.read(buffer, sizeof buffer, 0);
    ASSERT_EQ(rest, 11);
    EXPECT_EQ(std::string(buffer, 11), kGreeting.substr(4));
    EXPECT_EQ(bench.line.read(buffer, 0, 100), 0);
    EXPECT_EQ(bench.clock.now(), before);
    EXPECT_EQ(bench.clock.reads(), reads);
}

TEST(InProcessLineInput, AReadThatWaitsPollsTheTickCounterOncePerLook) {
    sim::DeviceConfig config;
    config.paceBaud = 1200; // 8.334 ms per character
    LineBench bench(config);
    ASSERT_TRUE(bench.line.open(115200));
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    // The request has arrived after 100.008 ms, the reply's first character 8.334 ms later: the
    // start is read once, then the counter once per look until the 109th millisecond.
    const std::uint32_t before = bench.clock.now();
    const auto reads = bench.clock.reads();
    char buffer[64] = {};
    ASSERT_EQ(bench.line.read(buffer, sizeof buffer, 1000), 1);
    EXPECT_EQ(buffer[0], 'K');
    EXPECT_EQ(bench.clock.now() - before, 109u);
    EXPECT_EQ(bench.clock.reads() - reads, 109u);
}

TEST(InProcessLineInput, AReadThatWaitsGivesUpAtItsLimit) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(115200));
    const std::uint32_t before = bench.clock.now();
    char c = 0;
    EXPECT_EQ(bench.line.read(&c, 1, 50), 0);
    EXPECT_EQ(bench.clock.now() - before, 51u); // the start and fifty looks
}

TEST(InProcessLineInput, TheLineNeverMovesTheClockButByAReadThatWaits) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(115200));
    const auto reads = bench.clock.reads();
    const std::uint32_t now = bench.clock.now();
    char c = 0;
    for (int i = 0; i < 100; ++i) {
        bench.line.waiting();
        bench.line.dsr();
        bench.line.read(&c, 1, 0);
        bench.line.purgeInput();
    }
    ASSERT_TRUE(bench.line.setSpeed(115200));
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    bench.line.close();
    EXPECT_EQ(bench.clock.reads(), reads);
    EXPECT_EQ(bench.clock.now(), now);
}

TEST(InProcessLineHangup, EveryOperationFailsUntilTheLineIsOpenedAgain) {
    LineBench bench(WithFault("version:hangup:once"));
    ASSERT_TRUE(bench.line.open(115200));
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    ASSERT_TRUE(bench.device.hungUp());
    const std::size_t before = bench.logSize();
    const std::uint32_t now = bench.clock.now();
    char c = 0;
    EXPECT_FALSE(bench.line.write("x"));
    EXPECT_EQ(bench.line.read(&c, 1, 0), serial::Line::kReadFailed);
    EXPECT_EQ(bench.line.read(&c, 1, 1000), serial::Line::kReadFailed);
    EXPECT_EQ(bench.clock.now(), now) << "a failed read does not wait";
    EXPECT_EQ(bench.line.dsr(), Dsr::kUnknown);
    EXPECT_FALSE(bench.line.purgeInput());
    EXPECT_FALSE(bench.line.setSpeed(9600));
    EXPECT_FALSE(bench.line.frame(9600, 8, 0, 0));
    EXPECT_FALSE(bench.line.setControlLines(false, false));
    EXPECT_EQ(bench.line.waiting(), 0u);
    EXPECT_EQ(bench.line.purgeCount(), 0);
    EXPECT_EQ(bench.line.baudHistory().size(), 1u);
    EXPECT_TRUE(bench.line.isOpen());

    // Closing works; a hung-up line has no control lines left to drop.
    bench.line.close();
    EXPECT_EQ(bench.eventsFrom(before), std::vector<std::string>{"line closed"});
    EXPECT_EQ(bench.line.closeCount(), 1);

    ASSERT_TRUE(bench.line.open(115200));
    EXPECT_FALSE(bench.device.hungUp());
    EXPECT_EQ(bench.line.dsr(), Dsr::kOff);
    ASSERT_TRUE(bench.line.write(sim::kIdentificationRequest));
    char buffer[64] = {};
    ASSERT_EQ(bench.line.read(buffer, sizeof buffer, 0), 15);
    EXPECT_EQ(std::string(buffer, 15), kGreeting);
}

TEST(InProcessLineHangup, AReadThatWaitsFailsWhenTheLineHangsUpMeanwhile) {
    // The boot loader hangs up as it starts, 20 ms after "<W".
    LineBench bench(WithFault("banner:hangup", sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.line.open(9600));
    ASSERT_TRUE(bench.line.write("<W"));
    EXPECT_FALSE(bench.device.hungUp());
    const std::uint32_t before = bench.clock.now();
    char c = 0;
    EXPECT_EQ(bench.line.read(&c, 1, 1000), serial::Line::kReadFailed);
    EXPECT_TRUE(bench.device.hungUp());
    EXPECT_EQ(bench.clock.now() - before, 20u);
}

TEST(InProcessLineCounters, TheSpeedsAreKeptUpToABound) {
    LineBench bench;
    ASSERT_TRUE(bench.line.open(9600));
    for (int i = 0; i < 1100; ++i) {
        ASSERT_TRUE(bench.line.setSpeed(i % 2 == 0 ? 115200 : 9600));
    }
    EXPECT_EQ(bench.line.baudHistory().size(), 1024u);
    EXPECT_EQ(bench.line.baudHistory().front(), 9600u);
    EXPECT_EQ(bench.line.purgeCount(), 1100);
}

TEST(InProcessLineTime, TheTimeGoesOnAcrossTheWrapOfTheTickCounter) {
    base::VirtualClock clock(0xFFFFFFFFu - 499);
    sim::DeviceModel device;
    sim::InProcessLine line(clock, device);
    EXPECT_EQ(line.nowMicros(), 0u);
    clock.advance(400);
    EXPECT_EQ(line.nowMicros(), 400000u);
    clock.advance(200); // past the wrap
    EXPECT_LT(clock.now(), 1000u);
    EXPECT_EQ(line.nowMicros(), 600000u);
}

TEST(InProcessLineInput, PurgeDropsOnlyWhatHasArrived) {
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
    EXPECT_EQ(bench.line.purgeCount(), 2);
}

TEST(InProcessLineTime, DelaysHoldAcrossTheWrapOfTheTickCounter) {
    sim::DeviceConfig config;
    config.faults.push_back(sim::Fault{sim::Step::Ready, 0, sim::Action::Delay, "", 1000, false});
    Bench bench(config);
    bench.clock.advance(0xFFFFFFFFu - 500 - bench.clock.now()); // 500 ms before the wrap
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    const std::uint32_t sentAt = bench.clock.now();
    bench.program.write(sim::kIdentificationRequest);
    EXPECT_EQ(bench.program.take(13), "KYST-SM-2.10\r");
    EXPECT_EQ(bench.program.next(), '?');
    EXPECT_LT(bench.clock.now(), sentAt); // the counter wrapped
    EXPECT_GE(static_cast<std::uint32_t>(bench.program.lastCharAt() - sentAt), 1000u);
    EXPECT_LE(static_cast<std::uint32_t>(bench.program.lastCharAt() - sentAt), 1003u);
}

TEST(InProcessLineBounds, LogStopsAtItsCap) {
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

TEST(InProcessLineBounds, OutputBeyondItsCapIsLostAndCounted) {
    sim::DeviceConfig config;
    config.outputCapBytes = 10;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    EXPECT_EQ(bench.program.waiting(), 10u);
    EXPECT_EQ(bench.device.stats().outputLost, 5u);
}

TEST(InProcessLineClose, CloseDropsUnreadOutputAndIsLogged) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    bench.program.close();
    EXPECT_FALSE(bench.line.dtr());
    EXPECT_FALSE(bench.line.rts());
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    EXPECT_EQ(bench.program.waiting(), 0u);
    EXPECT_TRUE(bench.device.log().hasEvent("15 unread characters lost"));
    EXPECT_EQ(bench.program.identify(), kGreeting);
}

} // namespace

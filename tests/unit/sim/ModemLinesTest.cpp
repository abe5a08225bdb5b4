// The device's modem lines: DSR, CTS and DCD by the firmware that runs, DTR and RTS as the
// program sets them, and the faults of the lines.
#include "ProgramSide.h"
#include "sim/Fault.h"

#include <gtest/gtest.h>

namespace {

using serial::Dsr;
using simtest::Bench;
using simtest::kGreeting;
using simtest::kPort;

constexpr sim::Micros kMs = 1000;

sim::DeviceConfig Application(std::vector<std::string> faults = {}) {
    sim::DeviceConfig config;
    config.mode = sim::Mode::ApplicationFirmware;
    config.restartMicros = 20 * kMs;
    for (const std::string& entry : faults) {
        sim::Fault fault;
        std::string error;
        EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << entry << ": " << error;
        config.faults.push_back(fault);
    }
    return config;
}

sim::ModemStatus Read(sim::DeviceModel& device, sim::Micros at) {
    sim::ModemStatus status;
    EXPECT_TRUE(device.readModemStatus(at, &status)) << "at " << at;
    return status;
}

// The device opened at time 0 and told "<W" at 1 ms.
struct Restarted {
    explicit Restarted(std::vector<std::string> faults = {}) : device(Application(faults)) {
        device.lineOpened(0);
        device.receive(1 * kMs, "<W", 2);
    }
    sim::DeviceModel device;
};

TEST(ModemLines, TheApplicationFirmwareHoldsDsrCtsAndDcdUntilTheBootLoaderRuns) {
    Restarted r;
    sim::ModemStatus s = Read(r.device, 20 * kMs);
    EXPECT_TRUE(s.dsr);
    EXPECT_TRUE(s.cts);
    EXPECT_TRUE(s.dcd);
    EXPECT_FALSE(s.dtr) << "the program set nothing yet";
    s = Read(r.device, 21 * kMs);
    EXPECT_FALSE(s.dsr);
    EXPECT_FALSE(s.cts);
    EXPECT_FALSE(s.dcd);
    EXPECT_EQ(r.device.mode(), sim::Mode::BootLoader);
    EXPECT_EQ(r.device.stats().statusReads, 2);
}

TEST(ModemLines, DtrAndRtsAreTheProgramsAndEachChangeIsLoggedWithItsTime) {
    sim::DeviceModel device(Application());
    device.lineOpened(0);
    device.controlLines(5 * kMs, true, true);
    device.controlLines(6 * kMs, true, true);
    device.controlLines(7 * kMs, false, true);
    const sim::ModemStatus s = Read(device, 8 * kMs);
    EXPECT_FALSE(s.dtr);
    EXPECT_TRUE(s.rts);
    device.lineClosed(9 * kMs);
    EXPECT_FALSE(device.rts()) << "a closing port drops its lines";

    std::vector<std::string> lines;
    for (const sim::LogEntry& e : device.log().entries()) {
        if (e.text.rfind("DTR", 0) == 0) {
            lines.push_back(sim::DeviceLog::Format(e));
        }
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{"[         5.000 ms] -- DTR on, RTS on",
                                        "[         7.000 ms] -- DTR off, RTS on",
                                        "[         9.000 ms] -- DTR off, RTS off (line closed)"}));
}

TEST(ModemLines, KeepDsrKeepsTheWholeSignalOn) {
    Restarted r({"restart:keep-dsr"});
    const sim::ModemStatus s = Read(r.device, 500 * kMs);
    EXPECT_TRUE(s.dsr);
    EXPECT_TRUE(s.cts);
    EXPECT_EQ(r.device.mode(), sim::Mode::BootLoader);
}

TEST(ModemLines, DsrDelayDropsTheSignalLateWhileTheBootLoaderListensAlready) {
    Restarted r({"dsr:delay=1500"});
    EXPECT_TRUE(Read(r.device, 21 * kMs).dsr);
    EXPECT_EQ(r.device.mode(), sim::Mode::BootLoader);
    EXPECT_TRUE(Read(r.device, 1520 * kMs).dsr);
    EXPECT_FALSE(Read(r.device, 1521 * kMs).dsr);
    EXPECT_TRUE(
        r.device.log().hasEvent("restarted into the boot loader, DSR still on for 1500 ms"));
    EXPECT_TRUE(r.device.log().hasEvent("DSR off, late"));
}

TEST(ModemLines, DsrDelayTellsTheTransportWhenTheDropIsDue) {
    Restarted r({"dsr:delay=300"});
    Read(r.device, 21 * kMs);
    sim::Micros wake = 0;
    ASSERT_TRUE(r.device.nextWake(&wake));
    EXPECT_EQ(wake, 321 * kMs);
}

TEST(ModemLines, DsrFlapGoesOffAndOnUntilTheBootLoaderRuns) {
    sim::DeviceConfig config = Application({"dsr:flap=5"});
    config.restartMicros = 30 * kMs;
    sim::DeviceModel device(config);
    device.lineOpened(0);
    device.receive(10 * kMs, "<W", 2);
    std::string seen;
    for (sim::Micros t = 10; t < 50; t += 5) {
        seen += Read(device, t * kMs).dsr ? '1' : '0';
    }
    // On at "<W", off 5 ms later, on again ... until the boot loader runs at 40 ms.
    EXPECT_EQ(seen, "10101000");
    EXPECT_EQ(device.mode(), sim::Mode::BootLoader);
    EXPECT_TRUE(device.log().hasEvent("fault dsr:flap=5"));
}

TEST(ModemLines, ACableWithoutDsrReadsItOffWhileTheApplicationRuns) {
    Bench bench(Application({"dsr:off"}));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_EQ(bench.line.dsr(), Dsr::kOff);
    const sim::ModemStatus s = Read(bench.device, bench.line.nowMicros());
    EXPECT_TRUE(s.cts) << "the other wires carry the signal";
    EXPECT_TRUE(s.dcd);
    bench.program.write("<V");
    EXPECT_EQ(bench.program.take(18), "\rKYST-SM-00,123456") << "the firmware runs all the same";
}

TEST(ModemLines, AFailingStatusReadIsAnUnknownDsrAndIsLoggedOnce) {
    Bench bench(Application({"status:fail"}));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_EQ(bench.line.dsr(), Dsr::kUnknown);
    EXPECT_EQ(bench.line.dsr(), Dsr::kUnknown);
    sim::ModemStatus untouched;
    untouched.rts = true;
    EXPECT_FALSE(bench.device.readModemStatus(bench.line.nowMicros(), &untouched));
    EXPECT_TRUE(untouched.rts) << "a failed read leaves the status as it was";
    int logged = 0;
    for (const std::string& e : bench.device.log().events()) {
        logged += e.find("the status read fails") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(logged, 1);
    EXPECT_EQ(bench.device.stats().statusReads, 3);
}

TEST(ModemLines, AStatusReadThatFailsOnceReadsRightAfterwards) {
    Bench bench(Application({"status:fail:once"}));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_EQ(bench.line.dsr(), Dsr::kUnknown);
    EXPECT_EQ(bench.line.dsr(), Dsr::kOn);
}

TEST(ModemLines, TheApplicationStartedAfterAnUpdateRaisesTheSignalAgain) {
    sim::DeviceConfig config = Application();
    config.startApplicationAfterUpdate = true;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<W");
    EXPECT_GE(bench.program.waitDsrOff(), 19);
    ASSERT_TRUE(bench.program.configure(115200));
    EXPECT_EQ(bench.program.identify(), kGreeting);
    ASSERT_TRUE(bench.program.write(":00000001FF"));
    EXPECT_EQ(bench.program.take(1), "@");
    bench.program.pause(50);
    EXPECT_EQ(bench.line.dsr(), Dsr::kOn) << "the new application firmware runs";
}

TEST(ModemLinesFaultSyntax, EntriesOfTheLinesReadAndWriteBack) {
    for (const char* entry :
         {"dsr:off", "dsr:delay=2500", "dsr:flap=50", "status:fail", "status:fail:once"}) {
        sim::Fault f;
        std::string error;
        ASSERT_TRUE(sim::ParseFault(entry, &f, &error)) << entry << ": " << error;
        EXPECT_EQ(sim::FormatFault(f), entry);
    }
    sim::Fault f;
    std::string error;
    ASSERT_TRUE(sim::ParseFault("dsr:flap=50", &f, &error));
    EXPECT_EQ(f.step, sim::Step::Dsr);
    EXPECT_EQ(f.action, sim::Action::Flap);
    EXPECT_EQ(f.value, 50u);
}

TEST(ModemLinesFaultSyntax, ActionsThatDoNotFitTheLinesAreRefused) {
    for (const char* entry :
         {"dsr:wrong=A", "dsr:dead", "dsr:fail", "dsr:flap", "dsr:flap=0", "dsr:off=1",
          "dsr@row=2:off", "status:delay=5", "status:off", "status:none", "status:fail=1",
          "version:flap=5", "restart:off", "row=3:fail"}) {
        sim::Fault f;
        std::string error;
        EXPECT_FALSE(sim::ParseFault(entry, &f, &error)) << entry;
        EXPECT_FALSE(error.empty()) << entry;
    }
}

TEST(ModemLinesFaultSyntax, HelpNamesTheLinesSteps) {
    const std::string help = sim::FaultSyntaxHelp();
    for (const char* word : {"dsr ", "status ", "off ", "flap=MS", "fail "}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

} // namespace

// Fault scripts: their syntax, and what each kind of fault does to the exchange.
#include "ProgramSide.h"
#include "sim/Fault.h"

#include <gtest/gtest.h>

namespace {

using simtest::Bench;
using simtest::kGreeting;
using simtest::kPort;
using simtest::kRowDone;

const std::string kRow1 = ":0300300002337A1E";
const std::string kRow2 = ":02004000ABCD46";
const std::string kEof = ":00000001FF";

sim::Fault Parse(const std::string& entry) {
    sim::Fault fault;
    std::string error;
    EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << entry << ": " << error;
    return fault;
}

sim::DeviceConfig WithFaults(std::vector<std::string> entries,
                             sim::Mode mode = sim::Mode::BootLoader) {
    sim::DeviceConfig config;
    config.mode = mode;
    for (const auto& entry : entries) {
        config.faults.push_back(Parse(entry));
    }
    return config;
}

// ---- syntax ----

TEST(FaultSyntax, ParsesStepRowActionArgumentAndOnce) {
    sim::Fault f = Parse("xoff@row=5:wrong=Z");
    EXPECT_EQ(f.step, sim::Step::Xoff);
    EXPECT_EQ(f.row, 5);
    EXPECT_EQ(f.action, sim::Action::Wrong);
    EXPECT_EQ(f.text, "Z");
    EXPECT_FALSE(f.once);

    f = Parse("ready:delay=2500");
    EXPECT_EQ(f.step, sim::Step::Ready);
    EXPECT_EQ(f.action, sim::Action::Delay);
    EXPECT_EQ(f.value, 2500u);

    f = Parse("row=40:dead");
    EXPECT_EQ(f.step, sim::Step::Row);
    EXPECT_EQ(f.row, 40);
    EXPECT_EQ(f.action, sim::Action::Dead);

    f = Parse("version:extra-lf:once");
    EXPECT_EQ(f.action, sim::Action::Extra);
    EXPECT_EQ(f.text, "\n");
    EXPECT_TRUE(f.once);

    f = Parse("identity:reply=\\rKYST-SM-00,12\\x3A45");
    EXPECT_EQ(f.text, "\rKYST-SM-00,12:45");

    f = Parse("line-complete:garbage=7");
    EXPECT_EQ(f.row, 0);
    EXPECT_EQ(f.value, 7u);
}

TEST(FaultSyntax, FormatReadsBackToTheSameEntry) {
    for (const char* entry :
         {"xoff@row=5:wrong=Z", "version:extra=\\n", "ready:delay=2500", "row=40:dead",
          "restart:keep-dsr", "banner:reply=ab\\x3Acd\\r", "xon:garbage=12:once",
          "file-complete:none", "row=3:reject", "row:delay=5", "identity:hangup",
          "line-complete@row=2:wrong=\\x00"}) {
        const sim::Fault f = Parse(entry);
        const std::string formatted = sim::FormatFault(f);
        const sim::Fault again = Parse(formatted);
        EXPECT_EQ(sim::FormatFault(again), formatted) << entry;
        EXPECT_EQ(again.step, f.step) << entry;
        EXPECT_EQ(again.row, f.row) << entry;
        EXPECT_EQ(again.action, f.action) << entry;
        EXPECT_EQ(again.text, f.text) << entry;
        EXPECT_EQ(again.value, f.value) << entry;
        EXPECT_EQ(again.once, f.once) << entry;
    }
}

TEST(FaultSyntax, RejectsMalformedEntriesWithAReason) {
    for (const char* entry : {"",
                              "version",
                              "bogus:none",
                              "version:bogus",
                              "version@row=2:none",
                              "xoff@row=0:none",
                              "xoff@row=x:none",
                              "xoff@5:none",
                              "row=:dead",
                              "xoff:wrong=ZZ",
                              "xoff:wrong",
                              "xoff:wrong=",
                              "ready:delay",
                              "ready:delay=-1",
                              "ready:delay=999999999",
                              "xon:keep-dsr",
                              "version:reject",
                              "restart:wrong=A",
                              "row=2:wrong=A",
                              "version:reply=\\q",
                              "version:reply=\\x4",
                              "version:extra-lf=1",
                              "version:none=1",
                              "version:none:twice",
                              "version:none:once:once",
                              "banner:garbage=100000"}) {
        sim::Fault f;
        std::string error;
        EXPECT_FALSE(sim::ParseFault(entry, &f, &error)) << entry;
        EXPECT_FALSE(error.empty()) << entry;
    }
}

TEST(FaultSyntax, HelpNamesEveryStepAndAction) {
    const std::string help = sim::FaultSyntaxHelp();
    for (const char* word :
         {"identity",   "restart",       "banner",        "version",  "ready",    "xon",
          "xoff",       "line-complete", "file-complete", "row=N",    "wrong=C",  "none",
          "reply=TEXT", "extra=TEXT",    "extra-lf",      "delay=MS", "keep-dsr", "dead",
          "hangup",     "garbage=N",     "reject",        "once"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

// ---- application firmware faults ----

TEST(ApplicationFaults, IdentityWrongCharacter) {
    Bench bench(WithFaults({"identity:wrong=X"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "X");
}

TEST(ApplicationFaults, IdentityOfAnotherContent) {
    Bench bench(
        WithFaults({"identity:reply=\\rKYST-SM-01,123456"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "\rKYST-SM-01,123456");
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "\rKYST-SM-01,123456");
}

TEST(ApplicationFaults, OnceFaultActsOnlyTheFirstTime) {
    Bench bench(
        WithFaults({"identity:reply=\\rKYST-SM-00,12345:once"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "\rKYST-SM-00,12345");
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "\rKYST-SM-00,123456");
}

TEST(ApplicationFaults, IdentityNothing) {
    Bench bench(WithFaults({"identity:none"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "");
}

TEST(ApplicationFaults, IdentityDelayed) {
    Bench bench(WithFaults({"identity:delay=2500"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2000), "");
    EXPECT_EQ(bench.program.collect(600), "\rKYST-SM-00,123456");
}

TEST(ApplicationFaults, KeepDsrAfterRestart) {
    Bench bench(WithFaults({"restart:keep-dsr"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<W");
    EXPECT_EQ(bench.program.waitDsrOff(2000), -1);
    // It did restart: the boot loader answers at 115200.
    ASSERT_TRUE(bench.program.configure(115200));
    EXPECT_EQ(bench.program.identify(), kGreeting);
}

TEST(ApplicationFaults, RestartIgnored) {
    Bench bench(WithFaults({"restart:none"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<W");
    EXPECT_EQ(bench.program.waitDsrOff(2000), -1);
    EXPECT_EQ(bench.device.mode(), sim::Mode::ApplicationFirmware);
}

TEST(ApplicationFaults, RestartDelayed) {
    Bench bench(WithFaults({"restart:delay=1500"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<W");
    const long after = bench.program.waitDsrOff(2000);
    EXPECT_GE(after, 1519);
    EXPECT_LE(after, 1522);
}

TEST(ApplicationFaults, DeadAtRestartKeepsDsrAndAnswersNothing) {
    Bench bench(WithFaults({"restart:dead"}, sim::Mode::ApplicationFirmware));
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<W");
    EXPECT_EQ(bench.program.waitDsrOff(2000), -1);
    bench.program.write("<V");
    EXPECT_EQ(bench.program.collect(2100), "");
    EXPECT_TRUE(bench.device.dead());
}

// ---- boot loader faults ----

class BootFaults : public ::testing::Test {
protected:
    void start(std::vector<std::string> entries) {
        bench = std::make_unique<Bench>(WithFaults(std::move(entries)));
        ASSERT_TRUE(bench->program.open(kPort, 115200));
    }
    simtest::ProgramSide& program() { return bench->program; }
    sim::DeviceModel& device() { return bench->device; }
    std::unique_ptr<Bench> bench;
};

TEST_F(BootFaults, BannerBeforeTheRequestIsDroppedByThePurge) {
    start({"banner:reply=BOOT\\r\\n", "banner:delay=50"});
    EXPECT_EQ(program().waiting(), 0u);
    program().pause(60);
    EXPECT_EQ(program().waiting(), 6u);
    EXPECT_EQ(program().identify(), kGreeting);
    EXPECT_EQ(device().stats().purgedBytes, 6u);
}

TEST_F(BootFaults, DelayedBannerArrivesAfterThePurgeAndSpoilsTheReply) {
    start({"banner:garbage=5", "banner:delay=150"});
    const std::string reply = program().identify();
    ASSERT_EQ(reply.size(), 15u);
    EXPECT_NE(reply, kGreeting);
    EXPECT_EQ(reply.substr(5), kGreeting.substr(0, 10));
}

TEST_F(BootFaults, GarbageHoldsNoProtocolCharacter) {
    start({"banner:garbage=4000", "banner:delay=5"});
    program().pause(6);
    const std::string noise = program().drain();
    ASSERT_EQ(noise.size(), 4000u);
    for (char c : std::string("\r\n?~@:") + sim::kXon + sim::kXoff + sim::kNak) {
        EXPECT_EQ(noise.find(c), std::string::npos) << static_cast<int>(c);
    }
}

TEST_F(BootFaults, VersionExtraLineFeed) {
    start({"version:extra-lf"});
    EXPECT_EQ(program().identify(), std::string("KYST-SM-2.10\r\n?"));
}

TEST_F(BootFaults, VersionOfAnotherLength) {
    start({"version:reply=KYST-SM-2.1\\r"});
    EXPECT_EQ(program().identify(), std::string("KYST-SM-2.1\r?") + sim::kXon);
}

TEST_F(BootFaults, VersionNothingLeavesReadyAndXon) {
    start({"version:none"});
    EXPECT_EQ(program().identify(), std::string("?") + sim::kXon);
}

TEST_F(BootFaults, VersionDeadAnswersNothingUntilReopened) {
    start({"version:dead:once"});
    EXPECT_EQ(program().identify(), "");
    program().write(sim::kIdentificationRequest);
    EXPECT_EQ(program().collect(3100), "");
    program().close();
    ASSERT_TRUE(program().open(kPort, 115200));
    EXPECT_EQ(program().identify(), kGreeting);
}

TEST_F(BootFaults, ReadyDelayed) {
    start({"ready:delay=2500"});
    program().pause(100);
    const std::uint32_t sentAt = bench->clock.now();
    program().write(sim::kIdentificationRequest);
    EXPECT_EQ(program().take(13), "KYST-SM-2.10\r");
    EXPECT_EQ(program().next(3000), '?');
    EXPECT_GE(program().lastCharAt() - sentAt, 2500u);
    EXPECT_LE(program().lastCharAt() - sentAt, 2503u);
    EXPECT_EQ(program().next(), sim::kXon);
}

TEST_F(BootFaults, ReadyWrongCharacter) {
    start({"ready:wrong=!"});
    EXPECT_EQ(program().identify(), std::string("KYST-SM-2.10\r!") + sim::kXon);
}

TEST_F(BootFaults, XonMissingForRowTwo) {
    start({"xon@row=2:none"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_EQ(program().collect(2100), std::string(1, sim::kXoff) + "~");
}

TEST_F(BootFaults, XoffWrongCharacterForOneRow) {
    start({"xoff@row=2:wrong=Z"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_EQ(program().take(3), kRowDone);
    program().write(kRow2);
    EXPECT_EQ(program().take(3), std::string("Z~") + sim::kXon);
    // The row was still flashed: only the acknowledgement was wrong.
    EXPECT_EQ(device().rowsAccepted(), 2);
}

TEST_F(BootFaults, LineCompleteMissing) {
    start({"line-complete@row=1:none"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_EQ(program().collect(2100), std::string(1, sim::kXoff) + sim::kXon);
}

TEST_F(BootFaults, LineCompleteDelayedForEveryRow) {
    start({"line-complete:delay=300"});
    EXPECT_EQ(program().identify(), kGreeting);
    for (const std::string& row : {kRow1, kRow2}) {
        const std::uint32_t sentAt = bench->clock.now();
        program().write(row);
        EXPECT_EQ(program().next(), sim::kXoff);
        EXPECT_LT(program().lastCharAt() - sentAt, 5u);
        EXPECT_EQ(program().next(), '~');
        EXPECT_GE(program().lastCharAt() - sentAt, 300u);
        EXPECT_LE(program().lastCharAt() - sentAt, 303u);
        EXPECT_EQ(program().next(), sim::kXon);
    }
}

TEST_F(BootFaults, FileCompleteWrongCharacter) {
    start({"file-complete:wrong=A"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kEof);
    EXPECT_EQ(program().collect(2100), "A");
    EXPECT_FALSE(device().fileComplete());
    EXPECT_EQ(device().rowsAccepted(), 1);
}

TEST_F(BootFaults, FileCompleteNothing) {
    start({"file-complete:none"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kEof);
    EXPECT_EQ(program().collect(2100), "");
    EXPECT_FALSE(device().fileComplete());
}

TEST_F(BootFaults, FileCompleteWithExtraCharacters) {
    start({"file-complete:extra=!!"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kEof);
    EXPECT_EQ(program().collect(100), "@!!");
    EXPECT_TRUE(device().fileComplete());
}

TEST_F(BootFaults, RowDeadStopsBeforeAcknowledgingAndFlashing) {
    start({"row=2:dead"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_EQ(program().take(3), kRowDone);
    program().write(kRow2);
    EXPECT_EQ(program().collect(2100), "");
    EXPECT_EQ(device().rowsAccepted(), 1);
    EXPECT_EQ(device().image().count(0x40), 0u);
    EXPECT_TRUE(device().dead());
}

TEST_F(BootFaults, RowRejectedOnceThenAcceptedWhenSentAgain) {
    start({"row=1:reject:once"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_EQ(program().take(2), std::string(1, sim::kNak) + sim::kXon);
    program().write(kRow1);
    EXPECT_EQ(program().take(3), kRowDone);
    EXPECT_EQ(device().stats().rowsRejected, 1);
    EXPECT_EQ(device().rowsAccepted(), 1);
}

TEST_F(BootFaults, RowDelayHoldsTheAcknowledgement) {
    start({"row=1:delay=1000"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_EQ(program().collect(990), "");
    EXPECT_EQ(program().take(3), kRowDone);
}

TEST_F(BootFaults, HangupClosesTheLineUntilReopened) {
    start({"row=1:hangup:once"});
    EXPECT_EQ(program().identify(), kGreeting);
    program().write(kRow1);
    EXPECT_TRUE(device().hungUp());
    EXPECT_FALSE(program().write(kRow2));
    EXPECT_EQ(program().waiting(), 0u);
    EXPECT_EQ(bench->line.dsr(), serial::Dsr::kUnknown);
    EXPECT_FALSE(bench->line.purgeInput());
    program().close();
    EXPECT_FALSE(bench->line.isOpen());
    EXPECT_EQ(bench->line.closeCount(), 1);
    ASSERT_TRUE(program().open(kPort, 115200));
    EXPECT_FALSE(device().hungUp());
    EXPECT_EQ(program().identify(), kGreeting);
}

TEST_F(BootFaults, XonGarbageInsteadOfPermission) {
    start({"xon@row=1:garbage=3"});
    program().pause(100);
    program().write(sim::kIdentificationRequest);
    const std::string reply = program().collect(50);
    ASSERT_EQ(reply.size(), 17u);
    EXPECT_EQ(reply.substr(0, 14), "KYST-SM-2.10\r?");
    EXPECT_EQ(reply.find(sim::kXon), std::string::npos);
}

TEST_F(BootFaults, EveryAppliedFaultIsLogged) {
    start({"ready:wrong=!", "xoff@row=1:delay=10"});
    program().identify();
    program().write(kRow1);
    program().collect(50);
    EXPECT_TRUE(device().log().hasEvent("fault ready:wrong=!"));
    EXPECT_TRUE(device().log().hasEvent("fault xoff@row=1:delay=10"));
    EXPECT_EQ(device().stats().faultsApplied, 2);
}

} // namespace

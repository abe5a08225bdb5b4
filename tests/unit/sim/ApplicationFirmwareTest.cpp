// The application firmware's side: DSR, the identity reply to "<V", the restart on "<W".
#include "ProgramSide.h"

#include <gtest/gtest.h>

namespace {

using simtest::Bench;
using simtest::kGreeting;
using simtest::kPort;

sim::DeviceConfig Application() {
    sim::DeviceConfig config;
    config.mode = sim::Mode::ApplicationFirmware;
    return config;
}

class ApplicationFirmware : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bench.program.open(kPort, 9600)); }
    Bench bench{Application()};
    simtest::ProgramSide& program = bench.program;
    sim::DeviceModel& device = bench.device;
};

TEST_F(ApplicationFirmware, HoldsDsrOn) {
    EXPECT_TRUE(program.dsr());
    program.pause(5000);
    EXPECT_TRUE(program.dsr());
}

TEST_F(ApplicationFirmware, AnswersVWithAnEighteenCharacterIdentity) {
    ASSERT_TRUE(program.write("<V"));
    const std::string reply = program.take(18);
    EXPECT_EQ(reply, "\rKYST-SM-00,123456");
    EXPECT_EQ(program.collect(2100), "");
    EXPECT_EQ(device.stats().identityReplies, 1);
}

TEST_F(ApplicationFirmware, SerialIsConfigurable) {
    sim::DeviceConfig config = Application();
    config.serial = "A1B2C3";
    Bench other(config);
    ASSERT_TRUE(other.program.open(kPort, 9600));
    other.program.write("<V");
    EXPECT_EQ(other.program.take(18), "\rKYST-SM-00,A1B2C3");
}

TEST_F(ApplicationFirmware, CommandsSplitAcrossWritesAndAmidNoiseAreRecognised) {
    program.write("zz<");
    program.write("V");
    EXPECT_EQ(program.take(18), "\rKYST-SM-00,123456");
    program.write("<v<X");
    EXPECT_EQ(program.collect(2100), "");
}

TEST_F(ApplicationFirmware, RestartOnWDropsDsrAndRunsTheBootLoader) {
    program.write("<V");
    ASSERT_EQ(program.take(18).size(), 18u);
    ASSERT_TRUE(program.write("<W"));
    const long after = program.waitDsrOff();
    EXPECT_GE(after, 19);
    EXPECT_LE(after, 22);
    EXPECT_EQ(device.mode(), sim::Mode::BootLoader);
    EXPECT_EQ(device.stats().restarts, 1);
    // The program now switches to 115200 and talks to the boot loader.
    ASSERT_TRUE(program.configure(115200));
    EXPECT_EQ(program.identify(), kGreeting);
    EXPECT_EQ(device.stats().baudMismatches, 0);
}

TEST_F(ApplicationFirmware, RequestAtTheBootLoaderSpeedIsLoggedAsMismatch) {
    ASSERT_TRUE(program.configure(115200));
    program.write("<V");
    EXPECT_EQ(program.take(18).size(), 18u);
    EXPECT_EQ(device.stats().baudMismatches, 1);
    EXPECT_TRUE(device.log().hasEvent("expects 9600"));
}

TEST_F(ApplicationFirmware, IdentificationRequestIsNotAnswered) {
    program.write(sim::kIdentificationRequest);
    EXPECT_EQ(program.collect(3100), "");
}

TEST(ApplicationFirmwareAfterUpdate, StartsAgainAfterTheAtSignWhenConfigured) {
    sim::DeviceConfig config;
    config.startApplicationAfterUpdate = true;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    EXPECT_FALSE(bench.program.dsr());
    ASSERT_EQ(bench.program.identify(), kGreeting);
    bench.program.write(":00000001FF");
    EXPECT_EQ(bench.program.next(), '@');
    bench.program.pause(30);
    EXPECT_TRUE(bench.program.dsr());
    EXPECT_EQ(bench.device.mode(), sim::Mode::ApplicationFirmware);
    ASSERT_TRUE(bench.program.configure(9600));
    bench.program.write("<V");
    EXPECT_EQ(bench.program.take(18), "\rKYST-SM-00,123456");
}

TEST(ApplicationFirmwareLine, PacedAtTheLinesSpeedTheIdentityTakesItsTimeAt9600) {
    sim::DeviceConfig config = Application();
    config.paceAtLineSpeed = true;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    bench.program.write("<V");
    // Two characters in, eighteen out, 1042 us each: the reply is whole at 20.84 ms.
    bench.clock.advance(20);
    EXPECT_EQ(bench.program.waiting(), 17u);
    bench.clock.advance(1);
    EXPECT_EQ(bench.program.drain(), "\rKYST-SM-00,123456");

    bench.program.write("<W");
    EXPECT_GE(bench.program.waitDsrOff(), 20);
    ASSERT_TRUE(bench.program.configure(115200));
    bench.program.write(sim::kIdentificationRequest);
    // At 115200 the request and the greeting take 27 characters of 87 us: 2.35 ms.
    bench.clock.advance(2);
    EXPECT_LT(bench.program.waiting(), 15u);
    bench.clock.advance(1);
    EXPECT_EQ(bench.program.drain(), kGreeting);
}

} // namespace

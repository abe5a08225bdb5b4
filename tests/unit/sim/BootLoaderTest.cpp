// The boot loader's side of the HEX transfer: greeting, row handshake, checks, flashed image.
#include "ProgramSide.h"
#include "sim/HexImage.h"

#include <gtest/gtest.h>

namespace {

using simtest::Bench;
using simtest::kGreeting;
using simtest::kPort;
using simtest::kRowDone;

const std::string kRow1 = ":0300300002337A1E";
const std::string kEof = ":00000001FF";

class BootLoader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bench.program.open(kPort, 115200)); }
    Bench bench;
    simtest::ProgramSide& program = bench.program;
    sim::DeviceModel& device = bench.device;
};

TEST_F(BootLoader, TwoRowFileInTheProtocolOrder) {
    program.pause(100);
    program.purge();
    ASSERT_TRUE(program.write("#&!KYST-SM35"));
    EXPECT_EQ(program.take(12, 3000), "KYST-SM-2.10");
    EXPECT_EQ(program.next(), '\r');
    EXPECT_EQ(program.next(), '?');
    EXPECT_EQ(program.next(), 0x11);
    ASSERT_TRUE(program.write(kRow1));
    EXPECT_EQ(program.next(), 0x13);
    EXPECT_EQ(program.next(), '~');
    EXPECT_EQ(program.next(), 0x11);
    ASSERT_TRUE(program.write(kEof));
    EXPECT_EQ(program.next(), '@');
    EXPECT_EQ(program.collect(500), "");

    EXPECT_EQ(device.log().received(), "#&!KYST-SM35" + kRow1 + kEof);
    EXPECT_EQ(device.log().sent(), kGreeting + kRowDone + "@");
    EXPECT_EQ(device.rowsAccepted(), 2);
    EXPECT_EQ(device.stats().rowsRejected, 0);
    EXPECT_TRUE(device.fileComplete());
    EXPECT_EQ(device.stats().fileCompletes, 1);
    EXPECT_EQ(device.image(), (sim::Image{{0x30, 0x02}, {0x31, 0x33}, {0x32, 0x7A}}));
}

TEST_F(BootLoader, OneRowFileGetsXonThenTheAtSignOnly) {
    EXPECT_EQ(program.identify(), kGreeting);
    ASSERT_TRUE(program.write(kEof));
    EXPECT_EQ(program.next(), '@');
    EXPECT_EQ(program.collect(2100), "");
    EXPECT_EQ(device.log().sent(), kGreeting + "@");
    EXPECT_EQ(device.rowsAccepted(), 1);
    EXPECT_TRUE(device.fileComplete());
    EXPECT_TRUE(device.image().empty());
}

TEST_F(BootLoader, AnswersOnlyTheExactIdentificationRequest) {
    program.write("#&!KYST-SM36");
    program.write("#&!KYST-SM3");
    program.write("#&!kyst-sm35");
    EXPECT_EQ(program.collect(3000), "");
    // Noise before the request does not stop it from being recognised.
    program.write("xx#&!KYST-SM35");
    EXPECT_EQ(program.take(15), kGreeting);
    EXPECT_EQ(device.stats().sessions, 1);
}

TEST_F(BootLoader, IgnoresTheApplicationFirmwareCommands) {
    program.write("<V<W");
    EXPECT_EQ(program.collect(2100), "");
    EXPECT_FALSE(program.dsr());
    EXPECT_EQ(device.mode(), sim::Mode::BootLoader);
}

TEST_F(BootLoader, RowWithBadChecksumIsAnsweredNakThenXon) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(":0300300002337A1F");
    EXPECT_EQ(program.take(2), std::string(1, sim::kNak) + sim::kXon);
    EXPECT_EQ(device.rowsAccepted(), 0);
    EXPECT_EQ(device.stats().rowsRejected, 1);
    EXPECT_TRUE(device.image().empty());
    // The same row sent again, correct this time, is taken as row 1.
    program.write(kRow1);
    EXPECT_EQ(program.take(3), kRowDone);
    EXPECT_EQ(device.rowsAccepted(), 1);
    EXPECT_TRUE(device.log().hasEvent("row 1 rejected"));
}

TEST_F(BootLoader, RowWithUnknownTypeOrBadDigitsIsRejected) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(":00000006FA"); // type 6
    EXPECT_EQ(program.take(2), std::string(1, sim::kNak) + sim::kXon);
    program.write(":03003000023G7A1E"); // a non-hex digit inside
    EXPECT_EQ(program.take(2), std::string(1, sim::kNak) + sim::kXon);
    EXPECT_EQ(device.stats().rowsRejected, 2);
    EXPECT_EQ(device.rowsAccepted(), 0);
}

TEST_F(BootLoader, RowLengthThatIsNotHexRejectsAndDropsTheRest) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(":Z3003000");
    EXPECT_EQ(program.collect(50), std::string(1, sim::kNak) + sim::kXon);
    program.write(kRow1);
    EXPECT_EQ(program.take(3), kRowDone);
}

TEST_F(BootLoader, RowIsCompleteOnlyAtItsLengthImpliedSize) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(kRow1.substr(0, 10));
    EXPECT_EQ(program.collect(2100), "");
    program.write(kRow1.substr(10));
    EXPECT_EQ(program.take(3), kRowDone);
}

TEST_F(BootLoader, LineEndAfterARowIsAStrayAnsweredWithOneNak) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(kRow1 + "\r\n");
    EXPECT_EQ(program.collect(50), kRowDone + sim::kNak);
    EXPECT_EQ(device.stats().strayBytes, 2u);
    EXPECT_EQ(device.rowsAccepted(), 1);
}

TEST_F(BootLoader, RowsAfterTheEndOfFileAreStrays) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(kEof);
    EXPECT_EQ(program.next(), '@');
    program.write(kRow1);
    EXPECT_EQ(program.collect(50), std::string(1, sim::kNak));
    EXPECT_EQ(device.rowsAccepted(), 1);
    EXPECT_TRUE(device.image().empty());
}

TEST_F(BootLoader, FileWithoutEndOfFileNeverGetsTheAtSign) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(kRow1);
    EXPECT_EQ(program.collect(2100), kRowDone);
    EXPECT_FALSE(device.fileComplete());
}

TEST_F(BootLoader, StartAddressRecordIsKeptAndFlashesNothing) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(":04000005000000CD2A");
    EXPECT_EQ(program.take(3), kRowDone);
    std::uint32_t start = 0;
    ASSERT_TRUE(device.startAddress(&start));
    EXPECT_EQ(start, 0xCDu);
    EXPECT_TRUE(device.image().empty());
}

TEST_F(BootLoader, EachOpeningStartsANewSessionThatErasesTheImage) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(kRow1);
    program.write(kEof);
    EXPECT_EQ(program.collect(50), kRowDone + "@");
    EXPECT_EQ(device.image().size(), 3u);
    program.close();

    ASSERT_TRUE(program.open(kPort, 115200));
    // A session cut short: the request alone, no rows.
    EXPECT_EQ(program.identify(), kGreeting);
    EXPECT_TRUE(device.image().empty());
    EXPECT_FALSE(device.fileComplete());
    EXPECT_EQ(device.stats().sessions, 2);
    EXPECT_EQ(device.stats().opens, 2);
    EXPECT_EQ(device.stats().closes, 1);
}

TEST_F(BootLoader, ReopeningMidTransferRestartsTheSession) {
    ASSERT_EQ(program.identify(), kGreeting);
    program.write(kRow1);
    EXPECT_EQ(program.take(3), kRowDone);
    program.close();
    ASSERT_TRUE(program.open(kPort, 115200));
    // A row where the request is awaited does nothing.
    program.write(kRow1);
    EXPECT_EQ(program.collect(100), "");
    EXPECT_EQ(program.identify(), kGreeting);
}

TEST(BootLoaderLine, WrongSpeedIsLoggedAndCounted) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_EQ(bench.program.identify(), kGreeting);
    EXPECT_EQ(bench.device.stats().baudMismatches, 1);
    EXPECT_TRUE(bench.device.log().hasEvent("expects 115200"));
}

TEST(BootLoaderLine, WrongSpeedOrFramingDropsInputWhenStrict) {
    sim::DeviceConfig config;
    config.baudCheck = sim::BaudCheck::Reject;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 9600));
    EXPECT_EQ(bench.program.identify(), "");
    ASSERT_TRUE(bench.program.configure(115200, 7, simtest::kEvenParity));
    EXPECT_EQ(bench.program.identify(), "");
    ASSERT_TRUE(bench.program.configure(115200));
    EXPECT_EQ(bench.program.identify(), kGreeting);
    EXPECT_EQ(bench.device.stats().baudMismatches, 2);
}

TEST(BootLoaderLine, APacedLineTakesTenBitTimesPerCharacterBothWays) {
    sim::DeviceConfig config;
    config.paceBaud = 9600; // 1042 us per character
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    // The 12 characters of the request arrive by 12.5 ms; the reply starts after that.
    bench.clock.advance(13);
    EXPECT_EQ(bench.program.waiting(), 0u); // the first reply character needs until 13.54 ms
    bench.clock.advance(1);
    EXPECT_EQ(bench.program.waiting(), 1u);
    bench.clock.advance(14);
    EXPECT_EQ(bench.program.waiting(), 14u); // the 15th is readable at 28.13 ms
    bench.clock.advance(1);
    EXPECT_EQ(bench.program.drain(), kGreeting);
}

TEST(BootLoaderLine, UnpacedOutputIsReadableAtOnce) {
    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    bench.program.write(sim::kIdentificationRequest);
    EXPECT_EQ(bench.program.waiting(), 15u);
}

TEST(BootLoaderImage, MultiRecordFileWithExtendedAddressesLandsWhereItSays) {
    // Expected bytes, built directly, and a file describing them: a page-0 run, a run that
    // crosses into page 1 by way of an extended linear address record, a run at 0x00120000,
    // and a segment-addressed pair whose offset wraps inside its segment.
    sim::Image expected;
    std::vector<std::string> rows;
    std::uint8_t value = 1;
    const auto addRun = [&](std::uint32_t address, std::size_t count) {
        for (std::size_t done = 0; done < count;) {
            const std::size_t n = std::min<std::size_t>(16, count - done);
            std::vector<std::uint8_t> data;
            for (std::size_t i = 0; i < n; ++i) {
                data.push_back(value);
                expected[address + static_cast<std::uint32_t>(done + i)] = value;
                value = static_cast<std::uint8_t>(value * 5 + 3);
            }
            rows.push_back(
                sim::MakeHexRow(0, static_cast<std::uint16_t>((address + done) & 0xFFFF), data));
            done += n;
        }
    };
    addRun(0x0000, 40);
    addRun(0xFFE0, 32);
    rows.push_back(":020000040001F9");
    addRun(0x10000, 20);
    rows.push_back(":020000040012E8");
    addRun(0x120000 + 0x100, 16);
    rows.push_back(":020000021000EC"); // segment 0x1000: base 0x10000
    rows.push_back(sim::MakeHexRow(0, 0xFFFF, {0xA5, 0x5A}));
    expected[0x1FFFF] = 0xA5;
    expected[0x10000] = 0x5A; // overwrites the first byte of the page-1 run
    rows.push_back(":00000001FF");

    Bench bench;
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    ASSERT_EQ(bench.program.identify(), kGreeting);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_TRUE(bench.program.write(rows[i]));
        const std::string answer = bench.program.take(i + 1 == rows.size() ? 1 : 3);
        ASSERT_EQ(answer, i + 1 == rows.size() ? std::string("@") : kRowDone) << "row " << i + 1;
    }
    EXPECT_EQ(bench.device.rowsAccepted(), static_cast<int>(rows.size()));
    EXPECT_EQ(sim::DescribeImageDifference(bench.device.image(), expected), "");

    std::string file;
    for (const auto& row : rows) {
        file += row + "\r\n";
    }
    sim::Image parsed;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexText(file, &parsed, &error)) << error;
    EXPECT_EQ(sim::DescribeImageDifference(parsed, expected), "");
}

TEST(BootLoaderImage, FlashFullRefusesTheRow) {
    sim::DeviceConfig config;
    config.flashCapBytes = 4;
    Bench bench(config);
    ASSERT_TRUE(bench.program.open(kPort, 115200));
    ASSERT_EQ(bench.program.identify(), kGreeting);
    bench.program.write(kRow1);
    EXPECT_EQ(bench.program.take(3), kRowDone);
    bench.program.write(sim::MakeHexRow(0, 0x40, {1, 2}));
    EXPECT_EQ(bench.program.take(2), std::string(1, sim::kNak) + sim::kXon);
    EXPECT_TRUE(bench.device.log().hasEvent("flash full"));
}

} // namespace

// The flash image helpers: building rows, reading HEX text, writing HEX and raw images.
#include "sim/HexImage.h"

#include <gtest/gtest.h>

namespace {

TEST(HexRowBuilding, LengthAddressTypeAndChecksum) {
    EXPECT_EQ(sim::MakeHexRow(0, 0x0030, {0x02, 0x33, 0x7A}), ":0300300002337A1E");
    EXPECT_EQ(sim::MakeHexRow(1, 0, {}), ":00000001FF");
    EXPECT_EQ(sim::MakeHexRow(4, 0, {0xFF, 0xFF}), ":02000004FFFFFC");
}

TEST(HexTextReading, LineEndsBlankLinesAndEndOfFile) {
    const std::string text = ":0300300002337A1E\r\n"
                             "\r\n"
                             ":02004000ABCD46\n"
                             ":00000001FF\r\n"
                             ":01005000EEC1\r\n"; // after the end: not read
    sim::Image image;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexText(text, &image, &error)) << error;
    EXPECT_EQ(image,
              (sim::Image{{0x30, 0x02}, {0x31, 0x33}, {0x32, 0x7A}, {0x40, 0xAB}, {0x41, 0xCD}}));
}

TEST(HexTextReading, MalformedRowNamesItsLine) {
    sim::Image image{{1, 1}};
    std::string error;
    EXPECT_TRUE(sim::ImageFromHexText(":00000001FF\n", &image, &error));
    EXPECT_TRUE(image.empty());
    EXPECT_FALSE(sim::ImageFromHexText(":0300300002337A1E\n:0300300002337A1F\n", &image, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(sim::ImageFromHexText("hello\n", &image, &error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

TEST(HexTextReading, MissingFileIsAnError) {
    sim::Image image;
    std::string error;
    EXPECT_FALSE(sim::ImageFromHexFile("/nonexistent/keystrand/none.hex", &image, &error));
    EXPECT_FALSE(error.empty());
}

TEST(HexAddressing, LinearAddressesCarryAcrossThe16BitOffset) {
    sim::HexAddressing addressing;
    intelhex::HexRecord ela{2, 0, intelhex::kExtendedLinearAddress, {0x00, 0x02}};
    sim::Image image;
    addressing.apply(ela, &image);
    intelhex::HexRecord data{2, 0xFFFF, intelhex::kData, {0x11, 0x22}};
    addressing.apply(data, &image);
    EXPECT_EQ(image, (sim::Image{{0x2FFFF, 0x11}, {0x30000, 0x22}}));
}

TEST(HexAddressing, SegmentOffsetsWrapInsideTheSegment) {
    sim::HexAddressing addressing;
    intelhex::HexRecord esa{2, 0, intelhex::kExtendedSegmentAddress, {0x12, 0x34}};
    sim::Image image;
    addressing.apply(esa, &image);
    intelhex::HexRecord data{2, 0xFFFF, intelhex::kData, {0x11, 0x22}};
    addressing.apply(data, &image);
    EXPECT_EQ(image, (sim::Image{{0x12340 + 0xFFFF, 0x11}, {0x12340, 0x22}}));
    // A later linear record ends segment addressing.
    addressing.apply(intelhex::HexRecord{2, 0, intelhex::kExtendedLinearAddress, {0, 0}}, &image);
    EXPECT_EQ(addressing.addressOf(0xFFFF, 1), 0x10000u);
    addressing.reset();
    EXPECT_EQ(addressing.addressOf(0x10, 0), 0x10u);
}

TEST(HexImageWriting, HexRoundTripAcrossPagesAndGaps) {
    sim::Image image;
    std::uint32_t seed = 7;
    for (std::uint32_t base : {0x0u, 0xFFF5u, 0x00030000u, 0x1234FFF0u}) {
        for (std::uint32_t i = 0; i < 37; ++i) {
            seed = seed * 1103515245u + 12345u;
            image[base + i * (i % 5 == 4 ? 2 : 1)] = static_cast<std::uint8_t>(seed >> 16);
        }
    }
    const std::string text = sim::ImageToHex(image);
    EXPECT_NE(text.find(":020000040001F9\r\n"), std::string::npos);
    EXPECT_NE(text.find(":020000041235B3\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        intelhex::HexRecord record;
        ASSERT_TRUE(intelhex::ParseHexRecord(text.substr(pos, end - pos), &record));
        EXPECT_LE(record.length, 16);
        pos = end + 2;
    }
    sim::Image back;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexText(text, &back, &error)) << error;
    EXPECT_EQ(sim::DescribeImageDifference(back, image), "");
}

TEST(HexImageWriting, EmptyImageIsTheEndOfFileRecordAlone) {
    EXPECT_EQ(sim::ImageToHex(sim::Image()), ":00000001FF\r\n");
}

TEST(HexImageWriting, RawFillsGapsFromLowestToHighest) {
    std::string raw;
    ASSERT_TRUE(sim::ImageToRaw(sim::Image{{0x10, 1}, {0x13, 4}}, &raw));
    EXPECT_EQ(raw, std::string("\x01\xFF\xFF\x04", 4));
    ASSERT_TRUE(sim::ImageToRaw(sim::Image{{0x10, 1}, {0x13, 4}}, &raw, 0x00));
    EXPECT_EQ(raw, std::string("\x01\x00\x00\x04", 4));
    ASSERT_TRUE(sim::ImageToRaw(sim::Image(), &raw));
    EXPECT_TRUE(raw.empty());
    EXPECT_FALSE(sim::ImageToRaw(sim::Image{{0, 1}, {0x02000000, 2}}, &raw));
}

TEST(HexImageComparing, DescribesMissingExtraAndDifferentBytes) {
    const sim::Image expected{{1, 0xAA}, {2, 0xBB}, {3, 0xCC}};
    EXPECT_EQ(sim::DescribeImageDifference(expected, expected), "");
    const std::string text =
        sim::DescribeImageDifference(sim::Image{{2, 0xBC}, {3, 0xCC}, {9, 0x01}}, expected);
    EXPECT_NE(text.find("missing 00000001"), std::string::npos) << text;
    EXPECT_NE(text.find("at 00000002 BC, expected BB"), std::string::npos) << text;
    EXPECT_NE(text.find("extra 00000009=01"), std::string::npos) << text;
}

} // namespace

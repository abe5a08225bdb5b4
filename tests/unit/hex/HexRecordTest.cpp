// Checks the Intel-HEX row parser: each record type, and each way a row can be malformed.
#include "update/HexRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using intelhex::HexRecord;
using intelhex::ParseHexRecord;

// A record with values no valid parse leaves, so that a test sees what the parser wrote.
HexRecord Poisoned() {
    HexRecord r;
    r.length = 0xEE;
    r.address = 0xEEEE;
    r.type = 0xEE;
    r.data = {0xEE};
    return r;
}

TEST(HexRecordValid, DataRecordGivesLengthAddressTypeAndBytes) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":0300300002337A1E", &r));
    EXPECT_EQ(r.length, 3);
    EXPECT_EQ(r.address, 0x0030);
    EXPECT_EQ(r.type, intelhex::kData);
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x02, 0x33, 0x7A}));
}

TEST(HexRecordValid, SixteenByteDataRecord) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":10010000214601360121470136007EFE09D2190140", &r));
    EXPECT_EQ(r.length, 16);
    EXPECT_EQ(r.address, 0x0100);
    ASSERT_EQ(r.data.size(), 16u);
    EXPECT_EQ(r.data.front(), 0x21);
    EXPECT_EQ(r.data.back(), 0x01);
}

TEST(HexRecordValid, EndOfFileRecord) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":00000001FF", &r));
    EXPECT_EQ(r.length, 0);
    EXPECT_EQ(r.address, 0);
    EXPECT_EQ(r.type, intelhex::kEndOfFile);
    EXPECT_TRUE(r.data.empty());
}

TEST(HexRecordValid, ExtendedSegmentAddressRecord) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":020000021200EA", &r));
    EXPECT_EQ(r.type, intelhex::kExtendedSegmentAddress);
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x12, 0x00}));
}

TEST(HexRecordValid, StartSegmentAddressRecord) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":0400000300003800C1", &r));
    EXPECT_EQ(r.type, intelhex::kStartSegmentAddress);
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x00, 0x00, 0x38, 0x00}));
}

TEST(HexRecordValid, ExtendedLinearAddressRecord) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":02000004FFFFFC", &r));
    EXPECT_EQ(r.type, intelhex::kExtendedLinearAddress);
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0xFF, 0xFF}));
}

TEST(HexRecordValid, StartLinearAddressRecord) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":04000005000000CD2A", &r));
    EXPECT_EQ(r.type, intelhex::kStartLinearAddress);
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0xCD}));
}

TEST(HexRecordValid, LowerCaseDigitsAreAccepted) {
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(":0300300002337a1e", &r));
    EXPECT_EQ(r.data, (std::vector<std::uint8_t>{0x02, 0x33, 0x7A}));
    ASSERT_TRUE(ParseHexRecord(":02000004fffffc", &r));
    EXPECT_EQ(r.type, intelhex::kExtendedLinearAddress);
}

TEST(HexRecordValid, FullLengthRecordOf255Bytes) {
    std::string row = ":FF000000";
    unsigned sum = 0xFF;
    for (int i = 0; i < 255; ++i) {
        row += "01";
        sum += 1;
    }
    const unsigned check = (0x100 - (sum & 0xFF)) & 0xFF;
    const char* digits = "0123456789ABCDEF";
    row += digits[check >> 4];
    row += digits[check & 0xF];
    HexRecord r = Poisoned();
    ASSERT_TRUE(ParseHexRecord(row, &r));
    EXPECT_EQ(r.length, 255);
    EXPECT_EQ(r.data.size(), 255u);
}

TEST(HexRecordMalformed, EmptyRow) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord("", &r));
}

TEST(HexRecordMalformed, MissingColon) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord("00000001FF", &r));
    EXPECT_FALSE(ParseHexRecord(";00000001FF", &r));
    EXPECT_FALSE(ParseHexRecord(" :00000001FF", &r));
}

TEST(HexRecordMalformed, ColonAlone) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord(":", &r));
}

TEST(HexRecordMalformed, OddDigitCount) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord(":00000001F", &r));
    EXPECT_FALSE(ParseHexRecord(":00000001FFF", &r));
}

TEST(HexRecordMalformed, NonHexCharacters) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord(":0000000GFF", &r));
    EXPECT_FALSE(ParseHexRecord(":030030000233 A1E", &r));
    EXPECT_FALSE(ParseHexRecord(":0300300002337A1x", &r));
}

TEST(HexRecordMalformed, LineEndIsNotPartOfTheRecord) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord(":00000001FF\r", &r));
    EXPECT_FALSE(ParseHexRecord(":00000001FF\r\n", &r));
}

TEST(HexRecordMalformed, LengthByteDisagreesWithDataCount) {
    HexRecord r;
    // Length 4 with three data bytes (checksum fixed to match the bytes present).
    EXPECT_FALSE(ParseHexRecord(":0400300002337A1D", &r));
    // Length 2 with three data bytes.
    EXPECT_FALSE(ParseHexRecord(":0200300002337A1F", &r));
    // Too short to hold even the fixed fields.
    EXPECT_FALSE(ParseHexRecord(":000000FF", &r));
}

TEST(HexRecordMalformed, BadChecksum) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord(":00000001FE", &r));
    EXPECT_FALSE(ParseHexRecord(":0300300002337A1F", &r));
    // One data byte changed, checksum kept.
    EXPECT_FALSE(ParseHexRecord(":0300300002337B1E", &r));
}

TEST(HexRecordMalformed, UnknownRecordType) {
    HexRecord r;
    EXPECT_FALSE(ParseHexRecord(":00000006FA", &r));
    EXPECT_FALSE(ParseHexRecord(":000000FF01", &r));
}

TEST(HexRecordMalformed, LengthNotAllowedForType) {
    HexRecord r;
    // End of file with one data byte.
    EXPECT_FALSE(ParseHexRecord(":0100000100FE", &r));
    // Extended linear address with one byte and with four.
    EXPECT_FALSE(ParseHexRecord(":0100000401FA", &r));
    EXPECT_FALSE(ParseHexRecord(":0400000400010000F7", &r));
    // Start linear address with two bytes.
    EXPECT_FALSE(ParseHexRecord(":020000050000F9", &r));
}

TEST(HexRecordMalformed, NullRecordPointer) {
    EXPECT_FALSE(ParseHexRecord(":00000001FF", nullptr));
}

} // namespace

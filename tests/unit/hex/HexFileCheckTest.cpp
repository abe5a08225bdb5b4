// The whole-file check of a HEX file and the words it finds for each problem.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "update/HexFileCheck.h"
#include "update/HexRecord.h"

namespace {

using Kind = update::HexFileProblem::Kind;

const std::string kData = ":10000000000102030405060708090A0B0C0D0E0F78";
const std::string kEnd = ":00000001FF";

update::HexFileSummary Check(const std::string& text) {
    TempDir dir;
    dir.write("f.hex", text);
    return update::CheckHexFile(dir.path("f.hex"));
}

std::string Rows(int dataRows, const std::string& last = kEnd) {
    std::string text;
    for (int i = 0; i < dataRows; ++i) {
        text += kData + "\r\n";
    }
    return text + last + "\n";
}

TEST(HexFileCheck, AGoodFileIsCountedAndPasses) {
    const update::HexFileSummary s = Check(Rows(3));
    EXPECT_TRUE(s.ok()) << s.problem.Describe();
    EXPECT_EQ(s.rows, 4);
    EXPECT_EQ(s.dataRecords, 3);
    EXPECT_EQ(s.dataBytes, 48);
}

TEST(HexFileCheck, EachProblemIsNamedWithItsRow) {
    std::string badChecksum = Rows(99);
    badChecksum.replace(99 * (kData.size() + 2) - 4, 2, "3C"); // row 99 ends ...78 -> ...3C
    EXPECT_EQ(Check(badChecksum).problem.Describe(), "row 99: checksum 3C, expected 78");

    EXPECT_EQ(Check(Rows(39, kData)).problem.Describe(), "row 40: not the end-of-file record");

    const std::string early = kData + "\n" + kEnd + "\n" + kData + "\n" + kEnd + "\n";
    const update::HexFileSummary s = Check(early);
    EXPECT_EQ(s.problem.kind, Kind::kEndOfFileNotLast);
    EXPECT_EQ(s.problem.Describe(), "end-of-file record at row 2 of 4");

    EXPECT_EQ(Check(Rows(2) + "\n").problem.Describe(), "row 4: empty row")
        << "a doubled line end at the end is a blank row after the end";
    EXPECT_EQ(Check("").problem.kind, Kind::kNoRows);
    EXPECT_EQ(Check(kData + "\n\n" + kEnd).problem.Describe(), "row 2: empty row");
}

TEST(HexFileCheck, ARowLongerThanAnyRecordIsNeitherKeptWholeNorMiscounted) {
    const std::string huge = ":" + std::string(1 << 20, '0');
    const update::HexFileSummary s = Check(kData + "\n" + huge + "\n" + kData + "\n" + kEnd);
    EXPECT_EQ(s.problem.Describe(), "row 2: longer than any record (more than 521 characters)");
    EXPECT_EQ(s.rows, 4) << "the rest of the long line is read past, not taken for rows";
    EXPECT_LE(s.problem.rowText.size(), 100u);
}

TEST(HexFileCheck, TheRowsOwnCharactersAreNeverShownRaw) {
    const update::HexFileSummary s = Check(":10\x1b[2J" + kData.substr(6) + "\n" + kEnd + "\n");
    EXPECT_EQ(s.problem.Describe(), "row 1: '\\x1B' at column 4 is not a hex digit");
    EXPECT_EQ(s.problem.rowText.find('\x1b'), std::string::npos);
}

TEST(HexRecordProblems, SayWhatIsWrongInAFewWords) {
    intelhex::HexRecord r;
    std::string why;
    EXPECT_FALSE(intelhex::ParseHexRecord("00000001FF", &r, &why));
    EXPECT_EQ(why, "begins with '0', not ':'");
    EXPECT_FALSE(intelhex::ParseHexRecord(":0000001FF", &r, &why));
    EXPECT_EQ(why, "too short for a record (9 hex digits)");
    EXPECT_FALSE(intelhex::ParseHexRecord(":0100000001FE0", &r, &why));
    EXPECT_EQ(why, "odd number of hex digits (13)");
    EXPECT_FALSE(intelhex::ParseHexRecord(":02000000AAFF", &r, &why));
    EXPECT_EQ(why, "length byte 02 says 2 data bytes, the row holds 1");
    EXPECT_FALSE(intelhex::ParseHexRecord(":00000007F9", &r, &why));
    EXPECT_EQ(why, "unknown record type 07");
    EXPECT_FALSE(intelhex::ParseHexRecord(":0100000155A9", &r, &why));
    EXPECT_EQ(why, "end-of-file record with 1 data bytes, not 0");
    EXPECT_TRUE(intelhex::ParseHexRecord(kEnd, &r, &why));
}

} // namespace

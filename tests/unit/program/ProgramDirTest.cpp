// The program directory taken from the command line, on whole characters of the code page.
#include <gtest/gtest.h>

#include "app/ProgramDir.h"
#include "fw/Mbcs.h"

namespace {

bool ShiftJisLeadByte(unsigned char byte) {
    return fw::IsDbcsLeadByteEx(932, byte);
}

struct Example {
    const char* commandLine;
    const char* programDir;
};

TEST(ProgramDirFromCommandLine, FollowsTheRuleForEveryKindOfCommandLine) {
    const Example examples[] = {
        {"\"C:\\Program Files\\Tool\\upd.exe\" /x", "C:\\Program Files\\Tool\\"},
        {"C:\\Tools\\upd.exe /x", "C:\\Tools\\"},
        {"C:\\Tools\\upd.exe", "C:\\Tools\\"},
        {"C:\\My Tools\\upd.exe", "C:\\"},
        {"upd.exe", ""},
        {"\"C:\\Tools\\upd.exe", ""},
        {"\"  C:\\Tools\\upd.exe\"", "C:\\Tools\\"},
        {" C:\\Tools\\upd.exe", ""},
        {"", ""},
        {"\"C:/Tools/upd.exe\"", ""},
        {"\"", ""},
        {"\"\t\r\nC:\\A\\b.exe\" x", "C:\\A\\"},
    };
    for (const Example& e : examples) {
        EXPECT_EQ(ProgramDirFromCommandLine(e.commandLine), e.programDir)
            << "command line: " << e.commandLine;
    }
}

TEST(ProgramDirFromCommandLine, NeverTakesTheTrailByteOfADoubleByteCharacterForABackslash) {
    // 0x95 0x5C is one Shift-JIS character whose second byte is the backslash's code.
    const std::string folder = std::string("C:\\\x95\x5C");
    const std::string unquoted = folder + "\\upd.exe";
    EXPECT_EQ(ProgramDirFromCommandLine(unquoted, &ShiftJisLeadByte), folder + "\\");
    // The same bytes in a single-byte code page are a character and a backslash.
    EXPECT_EQ(ProgramDirFromCommandLine(std::string("C:\\\x95\x5Cupd.exe")),
              std::string("C:\\\x95\x5C"));
    EXPECT_EQ(ProgramDirFromCommandLine(std::string("C:\\\x95\x5Cupd.exe"), &ShiftJisLeadByte),
              "C:\\");
}

TEST(ProgramDirFromCommandLine, NeverTakesATrailByteForAQuoteOrBlank) {
    // 0x81 0x22 and 0x81 0x20 are whole characters in Shift-JIS, not a quote or a blank.
    const std::string quoted = std::string("\"C:\\A\x81\x22\\upd.exe\" /x");
    EXPECT_EQ(ProgramDirFromCommandLine(quoted, &ShiftJisLeadByte), std::string("C:\\A\x81\x22\\"));
    const std::string unquoted = std::string("C:\\A\x81\x20\\upd.exe /x");
    EXPECT_EQ(ProgramDirFromCommandLine(unquoted, &ShiftJisLeadByte),
              std::string("C:\\A\x81\x20\\"));
}

TEST(ProgramDirFromCommandLine, ALeadByteAtTheVeryEndDoesNotReadPastTheText) {
    EXPECT_EQ(ProgramDirFromCommandLine(std::string("C:\\x\\\x95"), &ShiftJisLeadByte), "C:\\x\\");
}

TEST(LeadBytes, DoubleBytePagesHaveThemAndTheWesternPageHasNone) {
    EXPECT_TRUE(fw::IsDbcsLeadByteEx(932, 0x81));
    EXPECT_TRUE(fw::IsDbcsLeadByteEx(932, 0xE0));
    EXPECT_FALSE(fw::IsDbcsLeadByteEx(932, 0xA0)); // half-width katakana are single bytes
    EXPECT_FALSE(fw::IsDbcsLeadByteEx(932, '\\'));
    for (int b = 0; b < 256; ++b) {
        EXPECT_FALSE(fw::IsDbcsLeadByteEx(1252, static_cast<unsigned char>(b)));
    }
}

} // namespace

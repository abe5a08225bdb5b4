// The text file's line rules, its exclusive open and its modification time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utime.h>
#include <vector>

#include "base/TextFile.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> ReadAll(const std::string& bytes) {
    TempDir folder;
    folder.write("f.txt", bytes);
    base::TextFile file;
    EXPECT_TRUE(file.Open(folder.path("f.txt")));
    std::vector<std::string> lines;
    std::string line;
    while (file.ReadString(line)) {
        lines.push_back(line);
    }
    EXPECT_TRUE(line.empty()) << "the string is emptied even when nothing is left";
    return lines;
}

using Lines = std::vector<std::string>;

TEST(TextFile, CrLfAndLfEndLinesAlike) {
    EXPECT_EQ(ReadAll("2.10\r\nupd.hex\r\n"), (Lines{"2.10", "upd.hex"}));
    EXPECT_EQ(ReadAll("2.10\nupd.hex\n"), (Lines{"2.10", "upd.hex"}));
    EXPECT_EQ(ReadAll("2.10\nupd.hex"), (Lines{"2.10", "upd.hex"}));
}

TEST(TextFile, KeepsALoneCarriageReturnAndEveryBlank) {
    EXPECT_EQ(ReadAll("a\rb\r\n"), (Lines{"a\rb"}));
    EXPECT_EQ(ReadAll("a\r"), (Lines{"a\r"}));
    EXPECT_EQ(ReadAll("a\r\r\nb"), (Lines{"a\r", "b"}));
    EXPECT_EQ(ReadAll(" \tx \n"), (Lines{" \tx "}));
}

TEST(TextFile, EmptyLinesArePresentAndAnEmptyFileHasNone) {
    EXPECT_EQ(ReadAll(""), Lines{});
    EXPECT_EQ(ReadAll("\n"), (Lines{""}));
    EXPECT_EQ(ReadAll("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(ReadAll("2.10\r\n\r\n"), (Lines{"2.10", ""}));
}

TEST(TextFile, CtrlZEndsTheText) {
    EXPECT_EQ(ReadAll("one\r\ntwo\x1Athree\r\n"), (Lines{"one", "two"}));
    EXPECT_EQ(ReadAll("\x1A"
                      "a\n"),
              Lines{});
    EXPECT_EQ(ReadAll("a\r\x1A"), (Lines{"a\r"}));
}

TEST(TextFile, ReadsLongLinesWhole) {
    const std::string longLine(100000, 'x');
    EXPECT_EQ(ReadAll(longLine + "\n"), (Lines{longLine}));
}

TEST(TextFile, SeekToBeginReadsTheLinesAgain) {
    TempDir folder;
    folder.write("f.txt", "a\nb\n");
    base::TextFile file;
    ASSERT_TRUE(file.Open(folder.path("f.txt")));
    std::string line;
    while (file.ReadString(line)) {
    }
    file.SeekToBegin();
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, "a");
}

TEST(TextFile, FailsOnAMissingFileAFolderAndAFileHeldByAnother) {
    TempDir folder;
    base::TextFile file;
    EXPECT_FALSE(file.Open(folder.path("missing.txt")));
    EXPECT_FALSE(file.Open(folder.dir()));
    EXPECT_FALSE(file.Open(""));
    folder.write("held.txt", "x\n");
    const int holder = ::open(folder.path("held.txt").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(file.Open(folder.path("held.txt")));
    ::close(holder);
    EXPECT_TRUE(file.Open(folder.path("held.txt")));
    EXPECT_FALSE(file.Open(folder.dir())) << "a folder is no text file";
}

TEST(TextFile, GivesTheModificationTimeInLocalCalendarTime) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    TempDir folder;
    folder.write("f.hex", ":00000001FF\n");
    // 27 November 2006, 21:05:07 UTC.
    const struct utimbuf when { 1164661507, 1164661507 };
    ASSERT_EQ(::utime(folder.path("f.hex").c_str(), &when), 0);
    base::TextFile file;
    ASSERT_TRUE(file.Open(folder.path("f.hex")));
    base::LocalTime t;
    ASSERT_TRUE(file.GetModificationTime(&t));
    EXPECT_EQ(t.year, 2006);
    EXPECT_EQ(t.month, 11);
    EXPECT_EQ(t.day, 27);
    EXPECT_EQ(t.hour, 21);
    EXPECT_EQ(t.minute, 5);
    EXPECT_EQ(t.second, 7);
}

TEST(TextFile, ATimeThatCannotBeConvertedGivesTheFailureValues) {
    base::LocalTime t;
    EXPECT_FALSE(base::TextFile::ToLocalTime(-1, &t));
    EXPECT_EQ(t.year, 0);
    EXPECT_EQ(t.month, 0);
    EXPECT_EQ(t.day, 0);
    EXPECT_EQ(t.hour, -1);
    EXPECT_EQ(t.minute, -1);
    EXPECT_EQ(t.second, -1);
    base::TextFile closed;
    EXPECT_FALSE(closed.GetModificationTime(&t));
}

} // namespace

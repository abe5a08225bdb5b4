// --report through the built program: one JSON line per device update, whatever its outcome,
// appended whole; and appends of several processes at once that never break a line.
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "console/os/Platform.h"
#include "integration/console/ConsoleTestSupport.h"
#include "integration/console/ConsoleToolSupport.h"
#include "integration/sim/ToolProcess.h"
#include "support/TempDir.h"

namespace {

using consoletest::ConsoleTool;
using consoletest::Field;
using consoletest::HexFile;
using consoletest::Lines;
using consoletest::ReadWholeFile;

std::string Sha256Of(const std::string& path) {
    std::string digest;
    if (std::FILE* p = ::popen(("sha256sum '" + path + "'").c_str(), "r")) {
        char buffer[128] = {};
        if (std::fgets(buffer, sizeof buffer, p) != nullptr) {
            digest.assign(buffer, 64);
        }
        ::pclose(p);
    }
    return digest;
}

TEST_F(ConsoleTool, EachUpdateAppendsARecordWhoseFieldsMatchItsOutcome) {
    writePackage(HexFile(12));
    const std::string report = dir.path("records.jsonl");
    Device good;
    Device refusing;
    startDevice(good, dir.path("line1"));
    startDevice(refusing, dir.path("line2"), {"--fault", "row=5:reject"});
    ASSERT_EQ(run({"--package", pkg(), "--port", good.link, "--report", report}), 0) << err;
    ASSERT_EQ(run({"--package", pkg(), "--port", refusing.link, "--report", report}), 6);

    const std::vector<std::string> records = Lines(ReadWholeFile(report));
    ASSERT_EQ(records.size(), 2u);
    const std::string& ok = records[0];
    EXPECT_TRUE(std::regex_match(Field(ok, "time"),
                                 std::regex("\"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z\"")));
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(Field(ok, "host"), "\"" + std::string(host) + "\"");
    EXPECT_EQ(Field(ok, "tool_version"), "\"2.0.0.9\"");
    EXPECT_EQ(Field(ok, "port"), "\"" + good.link + "\"");
    EXPECT_EQ(Field(ok, "device").rfind("\"/dev/pts/", 0), 0u) << ok;
    EXPECT_EQ(Field(ok, "package_version"), "\"2.10\"");
    EXPECT_EQ(Field(ok, "hex_file"), "\"firmware.hex\"");
    EXPECT_EQ(Field(ok, "hex_sha256"), "\"" + Sha256Of(pkg() + "/firmware.hex") + "\"");
    EXPECT_EQ(Field(ok, "device_serial"), "null") << "the boot loader ran: no identity was read";
    EXPECT_EQ(Field(ok, "boot_loader_version"), "\"KYST-SM-2.10\"");
    EXPECT_EQ(Field(ok, "rows_sent"), "13");
    EXPECT_EQ(Field(ok, "rows_total"), "13");
    EXPECT_EQ(Field(ok, "data_bytes"), "192");
    EXPECT_TRUE(std::regex_match(Field(ok, "seconds"), std::regex("[0-9]+\\.[0-9]{3}")));
    EXPECT_EQ(Field(ok, "outcome"), "\"updated\"");
    EXPECT_EQ(Field(ok, "device_state"), "\"updated\"");
    EXPECT_EQ(Field(ok, "exit_code"), "0");
    EXPECT_EQ(Field(ok, "message"), "\"The Keystrand SM firmware has been successfully updated.\"");

    const std::string& failed = records[1];
    EXPECT_EQ(Field(failed, "port"), "\"" + refusing.link + "\"");
    EXPECT_EQ(Field(failed, "rows_sent"), "5");
    EXPECT_EQ(Field(failed, "outcome"), "\"transfer\"");
    EXPECT_EQ(Field(failed, "device_state"), "\"incomplete\"");
    EXPECT_EQ(Field(failed, "exit_code"), "6");
    EXPECT_EQ(Field(failed, "message"),
              "\"Firmware update failed at row 5 of 13: the Keystrand SM sent NAK (0x15) where "
              "XOFF (0x13) was awaited.\"");

    // Several ports: one record each, in the order given; a port that is not there too.
    const std::string gone = dir.path("line3");
    ASSERT_EQ(run({"--package", pkg(), "--port", good.link, "--port", gone, "--report", report}),
              4);
    const std::vector<std::string> all = Lines(ReadWholeFile(report));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(Field(all[2], "port"), "\"" + good.link + "\"");
    EXPECT_EQ(Field(all[2], "outcome"), "\"updated\"");
    EXPECT_EQ(Field(all[3], "port"), "\"" + gone + "\"");
    EXPECT_EQ(Field(all[3], "outcome"), "\"port\"");
    EXPECT_EQ(Field(all[3], "device_state"), "\"unchanged\"");
    EXPECT_EQ(Field(all[3], "device"), "null");
    EXPECT_EQ(stopDevice(good), 0);
    EXPECT_EQ(stopDevice(refusing), 0);

    // A report that cannot be written: told, and the exit code is 1; the update's own words stay.
    Device again;
    startDevice(again, dir.path("line4"));
    EXPECT_EQ(run({"--package", pkg(), "--port", again.link, "--report",
                   dir.path("no/such/folder/records")}),
              1);
    EXPECT_NE(out.find("The Keystrand SM firmware has been successfully updated."),
              std::string::npos);
    EXPECT_NE(err.find("keystrand-update: the record of " + again.link +
                       " could not be written to the report \"" +
                       dir.path("no/such/folder/records") + "\": No such file or directory."),
              std::string::npos)
        << err;
    EXPECT_EQ(stopDevice(again), 0);
}

TEST_F(ConsoleTool, AHostileNameOrReplyIsEscapedInTheRecordAndAPackageProblemRecorded) {
    writePackage(HexFile(3), "fw\x1b[31m\".hex");
    const std::string report = dir.path("records.jsonl");
    Device hostile;
    startDevice(hostile, dir.path("line"), {"--fault", "version:reply=KY\\x1b[2J\\x07ST\\r"});
    EXPECT_EQ(run({"--package", pkg(), "--port", hostile.link, "--report", report}), 6);
    dir.write("pkg/Keystrand_SM.txt", "2.10\r\n"); // no line 2
    EXPECT_EQ(run({"--package", pkg(), "--port", hostile.link, "--report", report}), 3);
    const std::string text = ReadWholeFile(report);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    const std::vector<std::string> records = Lines(text);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Field(records[0], "hex_file"), "\"fw\\u001b[31m\\\".hex\"");
    EXPECT_EQ(Field(records[0], "message"),
              "\"Invalid version response from the Keystrand SM on " + hostile.link +
                  ": \\\"KY\\\\x1B[2J\\\\x07ST\\\" instead of \\\"KYST-SM-2.10\\\".\"");
    EXPECT_EQ(Field(records[1], "outcome"), "\"package\"");
    EXPECT_EQ(Field(records[1], "exit_code"), "3");
    EXPECT_EQ(Field(records[1], "hex_sha256"), "null");
    EXPECT_EQ(stopDevice(hostile), 0);
}

TEST(ConsoleReport, TwoProcessesAppendingAtOnceLeaveOnlyWholeLines) {
    TempDir dir;
    const std::string path = dir.path("records.jsonl");
    constexpr int kLines = 300;
    pid_t children[2] = {};
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            const std::unique_ptr<console::Platform> platform = console::MakePlatform();
            // Longer than a pipe's atomic write: only the append itself keeps lines whole.
            const std::string line = std::string(8000, static_cast<char>('a' + c)) + "\n";
            std::string why;
            for (int i = 0; i < kLines; ++i) {
                if (!platform->appendLine(path, line, &why)) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> lines = Lines(ReadWholeFile(path));
    ASSERT_EQ(lines.size(), 2u * kLines);
    int counts[2] = {};
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), 8000u);
        ASSERT_TRUE(line.find_first_not_of(line[0]) == std::string::npos) << "a broken line";
        counts[line[0] - 'a']++;
    }
    EXPECT_EQ(counts[0], kLines);
    EXPECT_EQ(counts[1], kLines);
}

} // namespace

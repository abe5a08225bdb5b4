// --identify's pieces without a device: its options, its words for each finding, its record.
#include <gtest/gtest.h>

#include "console/run/Options.h"
#include "console/words/ExitCodes.h"
#include "console/words/IdentifyWording.h"
#include "console/words/Record.h"

namespace {

using console::DescribeIdentification;
using console::Identification;
using console::IdentifyWords;

Identification Opened(serial::Dsr dsr) {
    Identification f;
    f.opened = true;
    f.dsr = dsr;
    return f;
}

TEST(IdentifyOptions, PortsAndAReportGoWithItAndTheOtherJobsDoNot) {
    console::Options o;
    std::string error;
    ASSERT_TRUE(console::ParseOptions(
        {"--identify", "--port", "a", "--port", "b", "--report", "r.jsonl"}, &o, &error))
        << error;
    EXPECT_TRUE(o.identify);
    EXPECT_EQ(o.ports.size(), 2u);
    ASSERT_TRUE(console::ParseOptions({"--identify", "--all-ports"}, &o, &error)) << error;
    ASSERT_TRUE(console::ParseOptions({"--identify"}, &o, &error)) << error;

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--identify", "--check"}, "--identify and --check cannot be given together"},
        {{"--list-ports", "--identify"}, "--identify and --list-ports cannot be given together"},
        {{"--identify", "--package", "p"}, "--identify reads no package: leave out --package"},
        {{"--identify", "--trace", "t"}, "--identify updates nothing to trace: leave out --trace"},
        {{"--identify=1"}, "--identify takes no value"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(console::ParseOptions(b.first, &o, &error)) << b.second;
        EXPECT_EQ(error, b.second);
    }
    EXPECT_NE(console::HelpText("keystrand-update").find("--identify [--port PORT..."),
              std::string::npos);
}

TEST(IdentifyWording, EachFindingInWords) {
    Identification app = Opened(serial::Dsr::kOn);
    app.identity = "\rKYST-SM-00,654321";
    IdentifyWords w = DescribeIdentification(app);
    EXPECT_EQ(w.lines, std::vector<std::string>{"DSR on: application firmware, serial 654321."});
    EXPECT_EQ(w.serial, "654321");
    EXPECT_EQ(w.exitCode, console::kExitSuccess);

    w = DescribeIdentification(Opened(serial::Dsr::kOff));
    EXPECT_EQ(w.lines, std::vector<std::string>{
                           "DSR off: a boot loader, or a cable without DSR; not asked."});
    EXPECT_EQ(w.serial, "");
    EXPECT_EQ(w.exitCode, console::kExitSuccess);

    EXPECT_EQ(DescribeIdentification(Opened(serial::Dsr::kUnknown)).lines,
              std::vector<std::string>{
                  "the modem status of this line cannot be read (no DSR): not asked."});

    Identification silent = Opened(serial::Dsr::kOn);
    w = DescribeIdentification(silent);
    EXPECT_EQ(w.lines, std::vector<std::string>{"DSR on, but nothing answered \"<V\" within 2 s."});
    EXPECT_EQ(w.exitCode, console::kExitSuccess) << "nothing is an answer too";

    Identification other = silent;
    other.received = "\rKYST-SM-01,654321";
    EXPECT_EQ(DescribeIdentification(other).lines,
              std::vector<std::string>{"DSR on, but the answer to \"<V\" is no Keystrand SM "
                                       "identity: \"\\rKYST-SM-01,654321\"."});
}

TEST(IdentifyWording, APortThatFailsSaysWhyWithTheSystemsWordsAndAdvice) {
    Identification busy;
    busy.openError.cause = base::SystemError::Cause::kBusy;
    busy.openError.code = 16;
    busy.openError.text = "Device or resource busy";
    busy.openAdvice = "It is held by minicom (process 4711).";
    const IdentifyWords w = DescribeIdentification(busy);
    EXPECT_EQ(w.exitCode, console::kExitPort);
    EXPECT_EQ(w.lines, (std::vector<std::string>{
                           "cannot be opened: busy: another program has it open or locked.",
                           "The system says: Device or resource busy (16).",
                           "It is held by minicom (process 4711)."}));

    Identification unplugged = Opened(serial::Dsr::kOn);
    unplugged.lineFailed = true;
    unplugged.lineError.code = 5;
    unplugged.lineError.text = "Input/output error";
    const IdentifyWords u = DescribeIdentification(unplugged);
    EXPECT_EQ(u.exitCode, console::kExitPort);
    EXPECT_EQ(u.lines, (std::vector<std::string>{
                           "DSR on, but the line failed while the identity was awaited.",
                           "The system says: Input/output error (5)."}));

    Identification stopped = Opened(serial::Dsr::kOn);
    stopped.stopSignal = 2;
    EXPECT_EQ(DescribeIdentification(stopped).exitCode, 130);
}

TEST(IdentifyRecord, ThePackagesFieldsAreNullWhereNoPackageWasRead) {
    console::UpdateRecord r;
    r.packageRead = false;
    r.packageVersion = "ignored";
    r.outcome = "identified";
    const std::string line = console::RecordLine(r);
    EXPECT_NE(line.find("\"package_version\":null,\"hex_file\":null,\"hex_sha256\":null"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("\"outcome\":\"identified\""), std::string::npos);
    r.packageRead = true;
    EXPECT_NE(console::RecordLine(r).find("\"package_version\":\"ignored\""), std::string::npos);
}

} // namespace

// tools/make_sample_hex.py: its HEX output, and the whole sample sent through keystrand-sim.
#include "ToolProcess.h"
#include "sim/HexImage.h"
#include "sim/Protocol.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using simtool::Child;
using simtool::ReadWholeFile;

const std::string kScript = std::string(KEYSTRAND_SOURCE_DIR) + "/tools/make_sample_hex.py";

// Runs the script with the given options writing to out; its exit status.
int RunScript(const TempDir& dir, std::vector<std::string> options, const std::string& out) {
    std::vector<std::string> args{"/usr/bin/env", "python3", kScript, "-o", out};
    args.insert(args.end(), options.begin(), options.end());
    Child child;
    if (!child.start(args, dir.path("script.out"), dir.path("script.err"))) {
        return -1;
    }
    return child.wait();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST(SampleHexScript, DefaultIs32KiBIn16ByteRecordsWithCrLf) {
    TempDir dir;
    ASSERT_EQ(RunScript(dir, {}, dir.path("a.hex")), 0) << ReadWholeFile(dir.path("script.err"));
    const std::string text = ReadWholeFile(dir.path("a.hex"));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 2049u);
    EXPECT_EQ(lines.back(), ":00000001FF");
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        intelhex::HexRecord record;
        ASSERT_TRUE(intelhex::ParseHexRecord(lines[i], &record)) << lines[i];
        EXPECT_EQ(record.length, 16);
        EXPECT_EQ(record.address, i * 16);
        EXPECT_EQ(lines[i].find('\n'), std::string::npos);
    }
    sim::Image image;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexFile(dir.path("a.hex"), &image, &error)) << error;
    EXPECT_EQ(image.size(), 32768u);
    EXPECT_EQ(image.begin()->first, 0u);
    EXPECT_EQ(image.rbegin()->first, 32767u);
}

TEST(SampleHexScript, SameOptionsSameBytesOtherSeedOtherBytes) {
    TempDir dir;
    ASSERT_EQ(RunScript(dir, {"--seed", "9", "--size", "512"}, dir.path("a.hex")), 0);
    ASSERT_EQ(RunScript(dir, {"--seed", "9", "--size", "512"}, dir.path("b.hex")), 0);
    ASSERT_EQ(RunScript(dir, {"--seed", "10", "--size", "512"}, dir.path("c.hex")), 0);
    EXPECT_EQ(ReadWholeFile(dir.path("a.hex")), ReadWholeFile(dir.path("b.hex")));
    EXPECT_NE(ReadWholeFile(dir.path("a.hex")), ReadWholeFile(dir.path("c.hex")));
}

TEST(SampleHexScript, StartAddressAcrossA64KiBPageUsesExtendedLinearAddress) {
    TempDir dir;
    ASSERT_EQ(RunScript(dir, {"--start", "0xFFF8", "--size", "40"}, dir.path("a.hex")), 0);
    const auto lines = Lines(ReadWholeFile(dir.path("a.hex")));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 9), ":08FFF800"); // up to the page end only
    EXPECT_EQ(lines[1], ":020000040001F9");
    sim::Image image;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexFile(dir.path("a.hex"), &image, &error)) << error;
    EXPECT_EQ(image.size(), 40u);
    EXPECT_EQ(image.begin()->first, 0xFFF8u);
    EXPECT_EQ(image.rbegin()->first, 0xFFF8u + 39);
}

TEST(SampleHexScript, RejectsBadOptions) {
    TempDir dir;
    EXPECT_NE(RunScript(dir, {"--record-size", "0"}, dir.path("a.hex")), 0);
    EXPECT_NE(RunScript(dir, {"--size", "-5"}, dir.path("a.hex")), 0);
    EXPECT_NE(RunScript(dir, {"--start", "0xFFFFFFFF", "--size", "2"}, dir.path("a.hex")), 0);
}

TEST(SampleHexScript, WholeSampleThroughTheToolLeavesItsImage) {
    TempDir dir;
    const std::string hex = dir.path("sample.hex");
    ASSERT_EQ(RunScript(dir, {"--size", "8192", "--start", "0x1F000", "--seed", "4"}, hex), 0);
    const auto rows = Lines(ReadWholeFile(hex));
    ASSERT_GT(rows.size(), 500u);

    const std::string link = dir.path("COM7");
    const std::string image = dir.path("image.hex");
    Child tool;
    ASSERT_TRUE(tool.start({simtool::ToolPath(), "--link", link, "--image-out", image, "--quiet",
                            "--max-seconds", "120"},
                           dir.path("out"), dir.path("err")));
    ASSERT_TRUE(simtool::WaitFor([&] { return simtool::Exists(link); }));
    simtool::Port port;
    ASSERT_TRUE(port.open(link));
    ASSERT_TRUE(port.write(sim::kIdentificationRequest));
    ASSERT_EQ(port.read(15), std::string("KYST-SM-2.10\r?") + sim::kXon);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_TRUE(port.write(rows[i]));
        const bool last = i + 1 == rows.size();
        ASSERT_EQ(port.read(last ? 1 : 3), last ? std::string("@") : std::string("\x13~\x11"))
            << "row " << i + 1;
    }
    port.close();
    tool.signal(SIGTERM);
    ASSERT_EQ(tool.wait(), 0);

    sim::Image expected;
    sim::Image flashed;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexFile(hex, &expected, &error)) << error;
    ASSERT_TRUE(sim::ImageFromHexFile(image, &flashed, &error)) << error;
    EXPECT_EQ(expected.size(), 8192u);
    EXPECT_EQ(sim::DescribeImageDifference(flashed, expected), "");
}

} // namespace

// Replays the fuzz seeds and kept crash inputs through the fuzz targets' checks, built with g++.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../../fuzz/DescriptionChecks.h"
#include "../../../fuzz/DeviceRunChecks.h"
#include "../../../fuzz/HexRowChecks.h"

namespace {

struct Input {
    std::string name;
    std::string bytes;
};

// The files of fuzz/corpus/<target>/ and fuzz/regressions/<target>/, in name order.
std::vector<Input> InputsOf(const std::string& target) {
    std::vector<Input> inputs;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::filesystem::path dir =
            std::filesystem::path(KEYSTRAND_SOURCE_DIR) / "fuzz" / kind / target;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            inputs.push_back({std::string(kind) + "/" + entry.path().filename().string(),
                              std::string(std::istreambuf_iterator<char>(in), {})});
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const Input& a, const Input& b) { return a.name < b.name; });
    return inputs;
}

TEST(FuzzReplay, DescriptionFileInputsAreReadByTheLineRules) {
    const std::vector<Input> inputs = InputsOf("description_file");
    ASSERT_FALSE(inputs.empty());
    for (const Input& in : inputs) {
        EXPECT_EQ(fuzzing::CheckDescriptionPackage(in.bytes), "") << in.name;
    }
}

TEST(FuzzReplay, HexRecordInputsKeepTheRowProperties) {
    const std::vector<Input> inputs = InputsOf("hex_record");
    ASSERT_FALSE(inputs.empty());
    for (const Input& in : inputs) {
        EXPECT_EQ(fuzzing::CheckAcceptedRow(in.bytes), "") << in.name;
        EXPECT_EQ(fuzzing::CheckBuiltRow(in.bytes), "") << in.name;
    }
}

TEST(FuzzReplay, BootLoaderReplyInputsEndTheRunCleanly) {
    const std::vector<Input> inputs = InputsOf("boot_loader_reply");
    ASSERT_FALSE(inputs.empty());
    for (const Input& in : inputs) {
        EXPECT_EQ(fuzzing::CheckBootLoaderReply(in.bytes), "") << in.name;
    }
}

TEST(FuzzReplay, IdentityReplyInputsEndTheRunCleanly) {
    const std::vector<Input> inputs = InputsOf("identity_reply");
    ASSERT_FALSE(inputs.empty());
    for (const Input& in : inputs) {
        EXPECT_EQ(fuzzing::CheckIdentityReply(in.bytes), "") << in.name;
    }
}

// The checks themselves: the right exchanges succeed, so a check that never sees success
// cannot hide behind failures.
TEST(FuzzChecks, TheRightExchangesSucceedAndNearMissesFail) {
    const std::string exchange = fuzzing::BootLoaderExchange();
    EXPECT_EQ(exchange, "KYST-SM-2.10\r?\x11\x13~\x11\x13~\x11@");
    EXPECT_EQ(fuzzing::CheckBootLoaderReply(exchange), "");
    EXPECT_EQ(fuzzing::CheckBootLoaderReply(exchange.substr(0, exchange.size() - 1)), "");
    EXPECT_EQ(fuzzing::CheckIdentityReply(std::string("\x03") + "\rKYST-SM-00,abcdef"), "");
    EXPECT_EQ(fuzzing::CheckIdentityReply(std::string("\x01") + "\rKYST-SM-00,abcdef"), "");
}

TEST(FuzzChecks, TheLineModelFollowsTheTextModeRules) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(fuzzing::ModelLines(""), Lines{});
    EXPECT_EQ(fuzzing::ModelLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(fuzzing::ModelLines("a\rb\r\r\n"), (Lines{"a\rb\r"}));
    EXPECT_EQ(fuzzing::ModelLines("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(fuzzing::ModelLines("a\x1A\nb"), (Lines{"a"}));
    EXPECT_EQ(fuzzing::ModelLines("a\r\x1A\n"), (Lines{"a\r"}));
}

} // namespace

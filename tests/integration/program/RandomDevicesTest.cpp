// Thousands of seeded device behaviours against the whole update: success is reported exactly
// when the device holds the file, every run ends within the sum of its limits, and afterwards
// the port, the loan and the dialog's commands are all released.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "support/SimHarness.h"

namespace {

constexpr DWORD kPauseMs = 100;
constexpr DWORD kVersionMs = 3000;
constexpr DWORD kStepMs = 2000;

struct Scenario {
    sim::DeviceConfig config;
    int dataRows;
    std::string description;
};

Scenario MakeScenario(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Scenario s;
    s.dataRows = pick(24);
    const int rows = s.dataRows + 1;
    s.config.mode = pick(3) == 0 ? sim::Mode::ApplicationFirmware : sim::Mode::BootLoader;
    std::ostringstream d;
    d << "seed " << seed << ": " << (s.config.mode == sim::Mode::BootLoader ? "boot" : "app")
      << ", " << rows << " rows";
    const int faults = pick(4); // a quarter of the runs have no fault at all
    for (int i = 0; i < faults; ++i) {
        sim::Fault f;
        const sim::Step steps[] = {
            sim::Step::Identity,     sim::Step::Restart, sim::Step::Banner, sim::Step::Version,
            sim::Step::Ready,        sim::Step::Xon,     sim::Step::Xoff,   sim::Step::LineComplete,
            sim::Step::FileComplete, sim::Step::Row};
        f.step = steps[pick(10)];
        const bool perRow = f.step == sim::Step::Xon || f.step == sim::Step::Xoff ||
                            f.step == sim::Step::LineComplete || f.step == sim::Step::Row;
        f.row = perRow ? 1 + pick(rows) : 0;
        f.once = pick(2) == 0;
        switch (pick(9)) {
        case 0:
            f.action = sim::Action::Wrong;
            f.text = std::string(1, static_cast<char>(pick(256)));
            break;
        case 1:
            f.action = sim::Action::None;
            break;
        case 2:
            f.action = sim::Action::Delay;
            f.value = static_cast<std::uint32_t>(pick(3500));
            break;
        case 3:
            f.action = sim::Action::Dead;
            break;
        case 4:
            f.action = sim::Action::Hangup;
            break;
        case 5:
            f.action = sim::Action::Garbage;
            f.value = static_cast<std::uint32_t>(1 + pick(200));
            break;
        case 6:
            f.action = sim::Action::Extra;
            f.text =
                std::string(1 + static_cast<std::size_t>(pick(3)), static_cast<char>(pick(256)));
            break;
        case 7:
            f.action = f.step == sim::Step::Restart ? sim::Action::KeepDsr : sim::Action::Reject;
            if (f.action == sim::Action::Reject) {
                f.step = sim::Step::Row;
            }
            break;
        default: {
            f.action = sim::Action::Reply;
            const int length = pick(30);
            for (int c = 0; c < length; ++c) {
                f.text += static_cast<char>(pick(256));
            }
            break;
        }
        }
        s.config.faults.push_back(f);
        d << ", " << sim::FormatFault(f);
    }
    s.description = d.str();
    return s;
}

// How the runs ended, by the first line of their message: printed for the record.
std::map<std::string, int>& Outcomes() {
    static std::map<std::string, int> outcomes;
    return outcomes;
}

void RunOne(unsigned seed) {
    const Scenario scenario = MakeScenario(seed);
    SCOPED_TRACE(scenario.description);
    SimHarness s(scenario.config);
    s.writePackage(MakeHexFile(scenario.dataRows, seed));
    const DWORD start = s.h.clock.now();
    bool commandsEnabled = false;
    std::vector<int> enabledPorts;
    int loanPort = 0;
    s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        commandsEnabled = true;
        for (int id : {IDC_BEGIN_UPDATE, IDCANCEL, IDC_REFRESH_PORTS, IDC_CONTACT_INFO}) {
            commandsEnabled = commandsEnabled && d.IsDlgItemEnabled(id);
        }
        for (int n = 1; n <= 12; ++n) {
            if (d.IsDlgItemEnabled(2000 + n)) {
                enabledPorts.push_back(n);
            }
        }
        loanPort = d.m_nLoanPort;
    });
    const DWORD took = s.h.clock.now() - start;

    ASSERT_EQ(s.boxes.size(), 1u) << "every update ends in exactly one message";
    const bool reportedSuccess = s.boxes[0].box.caption == "Firmware Update Complete";
    Outcomes()[s.boxes[0].box.text.substr(0, s.boxes[0].box.text.find_first_of(".\n"))]++;
    const bool deviceHoldsFile = s.device.fileComplete() && s.imageMatchesFile();
    if (reportedSuccess) {
        EXPECT_TRUE(deviceHoldsFile) << "success reported for a device that does not hold the file";
        EXPECT_EQ(s.boxes[0].box.text,
                  "The Keystrand SM firmware has been successfully updated.     ");
    } else {
        EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Error") << s.boxes[0].box.text;
    }
    if (s.device.stats().faultsApplied == 0) {
        EXPECT_TRUE(reportedSuccess)
            << "a faultless device was not updated: " << s.boxes[0].box.text;
    }
    // Each character read costs a poll on the virtual clock, so the bound allows one per
    // character that crossed the line, besides every limit of the road.
    const std::size_t characters = s.device.log().received().size() + s.device.log().sent().size();
    const DWORD rows = static_cast<DWORD>(scenario.dataRows + 1);
    const DWORD bound = 2 * kStepMs + kPauseMs + kVersionMs + kStepMs + rows * 3 * kStepMs +
                        kStepMs + static_cast<DWORD>(2 * characters) + 100;
    EXPECT_LE(took, bound);

    EXPECT_FALSE(s.comm.isOpen());
    EXPECT_EQ(loanPort, -1);
    EXPECT_TRUE(commandsEnabled);
    EXPECT_EQ(enabledPorts, (std::vector<int>{3, 7}));
    EXPECT_EQ(s.h.ui.waitCursorDepth(), 0);
    EXPECT_FALSE(s.h.profile.has("Settings", "ComPort") && !reportedSuccess);
}

unsigned EnvOr(const char* name, unsigned fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

// KEYSTRAND_SEED=N replays one seed; KEYSTRAND_RANDOM_RUNS sets how many seeds run.
TEST(RandomDevices, EverySeedKeepsTheInvariants) {
    if (const char* one = std::getenv("KEYSTRAND_SEED")) {
        RunOne(static_cast<unsigned>(std::strtoul(one, nullptr, 10)));
        return;
    }
    const unsigned runs = EnvOr("KEYSTRAND_RANDOM_RUNS", 3000);
    int successes = 0;
    for (unsigned seed = 1; seed <= runs; ++seed) {
        RunOne(seed);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "replay with KEYSTRAND_SEED=" << seed;
            return;
        }
        successes++;
    }
    EXPECT_EQ(successes, static_cast<int>(runs));
    for (const auto& [outcome, count] : Outcomes()) {
        std::printf("%6d  %s\n", count, outcome.c_str());
    }
}

} // namespace

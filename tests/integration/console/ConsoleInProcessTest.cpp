// The console's update in process against the device model, which has DSR: the application
// firmware's road into the boot loader and its failures, through the console's own run.
#include <gtest/gtest.h>

#include "console/ConsoleRun.h"
#include "console/ExitCodes.h"
#include "console/RememberedPort.h"
#include "fw/host/MemoryProfile.h"
#include "fw/host/VirtualClock.h"
#include "integration/console/ConsoleTestSupport.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/InProcessComm.h"
#include "support/TempDir.h"

namespace {

using consoletest::Contents;
using consoletest::HexFile;

// The device model on COM3 and COM7 (one device, seen on COM3 only), a virtual clock, settings
// in memory.
class SimPlatform : public console::Platform {
public:
    SimPlatform(sim::DeviceConfig config, const std::string& dir) : device(config), m_dir(dir) {}

    std::unique_ptr<fw::Comm> makeComm() override {
        return std::make_unique<sim::InProcessComm>(ticks, device);
    }
    fw::Clock& clock() override { return ticks; }
    fw::Profile& profile() override { return settings; }
    std::string programDir() override { return m_dir; }
    std::string folderPrefix(const std::string& folder) override { return folder + "/"; }
    std::vector<console::PortListing> ports() override {
        return {{3, "sim3", ""}, {7, "sim7", ""}};
    }
    int resolvePort(const std::string& text) override { return console::ComNumberFromText(text); }
    std::string settingsPlace() override { return "memory"; }
    bool isTerminal(std::FILE*) override { return false; }
    int terminalWidth(std::FILE*) override { return 0; }
    std::string whyUnreadable(const std::string&) override { return "no such file"; }
    std::string openAdvice(int, const fw::SystemError&) override { return std::string(); }
    std::string devicePath(int port) override { return "sim" + std::to_string(port); }

    fw::host::VirtualClock ticks{0, 1};
    sim::DeviceModel device;
    fw::host::MemoryProfile settings;

private:
    std::string m_dir;
};

sim::DeviceConfig ApplicationFirmware(std::initializer_list<const char*> faults = {}) {
    sim::DeviceConfig config;
    config.mode = sim::Mode::ApplicationFirmware;
    for (const char* entry : faults) {
        sim::Fault fault;
        std::string error;
        EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << error;
        config.faults.push_back(fault);
    }
    return config;
}

class ConsoleInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        out = std::tmpfile();
        err = std::tmpfile();
        ASSERT_NE(out, nullptr);
        ASSERT_NE(err, nullptr);
        folder.write("Keystrand_SM.txt", "2.10\r\nupd.hex\r\n");
        folder.write("upd.hex", HexFile(9));
    }
    void TearDown() override {
        std::fclose(out);
        std::fclose(err);
    }

    int update(SimPlatform& p, const std::string& port) {
        console::Options options;
        options.port = port;
        return console::RunUpdate(options, p, out, err);
    }

    TempDir folder;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
};

TEST_F(ConsoleInProcess, TheApplicationFirmwareIsTalkedIntoItsBootLoaderWhenDsrIsUp) {
    SimPlatform p(ApplicationFirmware(), folder.dir());
    ASSERT_EQ(update(p, "COM3"), console::kExitSuccess) << Contents(err);
    EXPECT_EQ(p.device.log().received().substr(0, 16), "<V<W#&!KYST-SM35");
    sim::Image expected;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexText(HexFile(9), &expected, &error));
    EXPECT_EQ(p.device.image(), expected);
    EXPECT_EQ(console::ReadRememberedPort(p.settings), 3);
    const std::string shown = Contents(out);
    EXPECT_EQ(shown.substr(0, shown.find("Row 1 of 10")),
              "Firmware version \"2.10\", HEX file \"upd.hex\"\n"
              "Updating the Keystrand SM through COM3 (sim3)\n"
              "DSR is on: the application firmware runs; asking it to restart into its boot "
              "loader.\n"
              "Boot loader version KYST-SM-2.10\n");
    EXPECT_NE(shown.find("\nThe Keystrand SM firmware has been successfully updated.\n"),
              std::string::npos)
        << shown;
    EXPECT_EQ(Contents(err), "");
}

TEST_F(ConsoleInProcess, TheApplicationFirmwaresFailuresAreDeviceEntryFailures) {
    SimPlatform silent(ApplicationFirmware({"identity:none"}), folder.dir());
    EXPECT_EQ(update(silent, "COM3"), console::kExitDeviceEntry);
    EXPECT_EQ(Contents(err),
              "Cannot find a Keystrand SM on COM3 (sim3): no valid identity reply to \"<V\" "
              "within 2 s.\n"
              "The device's firmware is unchanged.\n"
              "Check that the device is connected to COM3 (sim3) and powered, and that no other "
              "program uses the line.\n");
    EXPECT_EQ(console::ReadRememberedPort(silent.settings), 0);
    EXPECT_EQ(silent.device.log().received(), "<V");

    std::rewind(err);
    SimPlatform stubborn(ApplicationFirmware({"restart:keep-dsr"}), folder.dir());
    EXPECT_EQ(update(stubborn, "COM3"), console::kExitDeviceEntry);
    EXPECT_NE(Contents(err).find("Invalid response from the Keystrand SM on COM3 (sim3): it did "
                                 "not restart into its boot loader (DSR stayed on for 2 s after "
                                 "\"<W\").\n"
                                 "The device was asked to restart into its boot loader; its "
                                 "firmware is unchanged.\n"),
              std::string::npos);
}

TEST_F(ConsoleInProcess, TheRememberedPortIsPreferredAndOtherwiseSeveralPortsAreRefused) {
    {
        SimPlatform p(ApplicationFirmware(), folder.dir());
        EXPECT_EQ(update(p, ""), console::kExitPort);
        EXPECT_NE(Contents(err).find("Several serial ports are present and none is remembered: "
                                     "COM3 (sim3), COM7 (sim7). Choose one with --port."),
                  std::string::npos);
        EXPECT_EQ(p.device.log().received(), "");
    }
    SimPlatform p(ApplicationFirmware(), folder.dir());
    console::RememberPort(p.settings, 3);
    EXPECT_EQ(update(p, ""), console::kExitSuccess);
}

} // namespace

// The console's update in process against the device model, which has DSR: the application
// firmware's road into the boot loader and its failures, through the console's own run.
#include <gtest/gtest.h>

#include "base/VirtualClock.h"
#include "console/run/ConsoleRun.h"
#include "console/run/IdentifyJob.h"
#include "console/words/ExitCodes.h"
#include "integration/console/ConsoleTestSupport.h"
#include "serial/ComName.h"
#include "serial/PollingWatch.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/InProcessLine.h"
#include "support/TempDir.h"

namespace {

using consoletest::Contents;
using consoletest::HexFile;

// COM3 with the device model behind it, COM7 with nothing.
class SimPorts : public serial::Ports {
public:
    SimPorts(base::VirtualClock& ticks, sim::DeviceModel& device)
        : m_ticks(ticks), m_device(device) {}

    std::vector<serial::PortInfo> list() override {
        serial::PortInfo com3;
        com3.name = "COM3";
        com3.description = "sim3";
        serial::PortInfo com7;
        com7.name = "COM7";
        return {com3, com7};
    }
    bool canonicalName(const std::string& text, std::string* name, std::string*) override {
        *name = serial::ComName(serial::ComNumberFromText(text));
        return true;
    }
    std::string identity(const std::string& port) override { return port; }
    bool present(const std::string& port) override { return port == "COM3" || port == "COM7"; }
    std::string describe(const std::string&) override { return std::string(); }
    std::unique_ptr<serial::Line> line(const std::string& port) override {
        return std::make_unique<sim::InProcessLine>(
            m_ticks, m_device, serial::ComName(serial::ComNumberFromText(port)));
    }
    std::string openAdvice(const std::string&, const base::SystemError&) override {
        return std::string();
    }
    std::unique_ptr<serial::PortWatch> watch(base::Clock& clock) override {
        return std::make_unique<serial::PollingWatch>(clock, 500, "the simulated ports");
    }

private:
    base::VirtualClock& m_ticks;
    sim::DeviceModel& m_device;
};

// The device model's ports, a virtual clock, settings in memory, no terminal.
class SimPlatform : public console::Platform {
public:
    SimPlatform(sim::DeviceConfig config, const std::string& dir) : device(config), m_dir(dir) {}

    serial::Ports& ports() override { return m_ports; }
    base::Clock& clock() override { return ticks; }
    std::string rememberedPort() override { return remembered; }
    bool rememberPort(const std::string& port) override {
        remembered = port;
        return true;
    }
    std::string settingsPlace() override { return "memory"; }
    std::string programDir() override { return m_dir; }
    std::string folderPrefix(const std::string& folder) override { return folder + "/"; }
    std::string whyUnreadable(const std::string&) override { return "no such file"; }
    std::string hostName() override { return "bench-pc"; }
    bool appendLine(const std::string&, const std::string& text, std::string*) override {
        appended += text;
        return true;
    }
    console::Stream stream(std::FILE* file) override {
        console::Stream s;
        s.file = file;
        return s;
    }

    base::VirtualClock ticks{0, 1};
    sim::DeviceModel device;
    std::string remembered;
    std::string appended;

private:
    std::string m_dir;
    SimPorts m_ports{ticks, device};
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
        if (!port.empty()) {
            options.ports = {port};
        }
        return console::RunUpdate(options, p, p.stream(out), p.stream(err));
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
    EXPECT_EQ(p.remembered, "COM3");
    const std::string shown = Contents(out);
    EXPECT_EQ(shown.substr(0, shown.find("Row 1 of 10")),
              "Firmware version \"2.10\", HEX file \"upd.hex\"\n"
              "Updating the Keystrand SM through COM3\n"
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
              "Cannot find a Keystrand SM on COM3: no valid identity reply to \"<V\" "
              "within 2 s.\n"
              "The device's firmware is unchanged.\n"
              "Check that the device is connected to COM3 and powered, and that no other "
              "program uses the line.\n");
    EXPECT_EQ(silent.remembered, "");
    EXPECT_EQ(silent.device.log().received(), "<V");

    std::rewind(err);
    SimPlatform stubborn(ApplicationFirmware({"restart:keep-dsr"}), folder.dir());
    EXPECT_EQ(update(stubborn, "COM3"), console::kExitDeviceEntry);
    EXPECT_NE(Contents(err).find("Invalid response from the Keystrand SM on COM3: it did "
                                 "not restart into its boot loader (DSR stayed on for 2 s after "
                                 "\"<W\").\n"
                                 "The device was asked to restart into its boot loader; its "
                                 "firmware is unchanged.\n"),
              std::string::npos);
}

TEST_F(ConsoleInProcess, TheRecordShowsBytesAboveAsciiOfAFileNameAndADeviceOnlyAsEscapes) {
    // A HEX file named in Latin-1, and a device whose serial number is not ASCII.
    folder.write("Keystrand_SM.txt", "2.10\r\nfw\xE9.hex\r\n");
    folder.write("fw\xE9.hex", HexFile(2));
    sim::DeviceConfig config = ApplicationFirmware();
    config.serial = "\xE9\xFF"
                    "1234";
    SimPlatform p(config, folder.dir());
    console::Options options;
    options.ports = {"COM3"};
    options.report = "records.jsonl";
    ASSERT_EQ(console::RunUpdate(options, p, p.stream(out), p.stream(err)), console::kExitSuccess)
        << Contents(err);
    ASSERT_FALSE(p.appended.empty());
    for (const char c : p.appended.substr(0, p.appended.size() - 1)) {
        ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "raw byte " << static_cast<int>(c & 0xFF);
    }
    EXPECT_EQ(p.appended.back(), '\n');
    EXPECT_NE(p.appended.find("\"hex_file\":\"fw\\u00e9.hex\""), std::string::npos) << p.appended;
    EXPECT_NE(p.appended.find("\"device_serial\":\"\\u00e9\\u00ff1234\""), std::string::npos)
        << p.appended;
}

TEST_F(ConsoleInProcess, TheRememberedPortIsPreferredAndOtherwiseSeveralPortsAreRefused) {
    {
        SimPlatform p(ApplicationFirmware(), folder.dir());
        EXPECT_EQ(update(p, ""), console::kExitPort);
        EXPECT_NE(Contents(err).find("Several serial ports are present and none is remembered: "
                                     "COM3, COM7. Choose one with --port."),
                  std::string::npos);
        EXPECT_EQ(p.device.log().received(), "");
    }
    SimPlatform p(ApplicationFirmware(), folder.dir());
    p.remembered = "COM3";
    EXPECT_EQ(update(p, ""), console::kExitSuccess);
}

int Identify(SimPlatform& p, const std::string& port, std::FILE* out, std::FILE* err) {
    console::Options options;
    options.identify = true;
    options.ports = {port};
    options.report = "records.jsonl";
    return console::RunIdentify(options, p, p.stream(out), p.stream(err));
}

TEST_F(ConsoleInProcess, IdentifyAsksTheApplicationFirmwareAloneAndChangesNothing) {
    SimPlatform p(ApplicationFirmware(), folder.dir());
    EXPECT_EQ(Identify(p, "COM3", out, err), console::kExitSuccess);
    EXPECT_EQ(Contents(out), "COM3: DSR on: application firmware, serial 123456.\n");
    EXPECT_EQ(Contents(err), "");
    EXPECT_EQ(p.device.log().received(), "<V") << "nothing but the question";
    EXPECT_EQ(p.device.mode(), sim::Mode::ApplicationFirmware);
    EXPECT_EQ(p.device.stats().closes, 1);
    EXPECT_EQ(p.remembered, "");
    EXPECT_NE(p.appended.find("\"device_serial\":\"123456\""), std::string::npos) << p.appended;
    EXPECT_NE(p.appended.find("\"outcome\":\"identified\",\"device_state\":\"unchanged\","
                              "\"exit_code\":0"),
              std::string::npos)
        << p.appended;
}

TEST_F(ConsoleInProcess, IdentifySendsNothingToABootLoaderNorWhereDsrCannotBeRead) {
    SimPlatform boot(sim::DeviceConfig(), folder.dir());
    EXPECT_EQ(Identify(boot, "COM3", out, err), console::kExitSuccess);
    EXPECT_EQ(boot.device.log().received(), "");
    EXPECT_EQ(boot.device.stats().sessions, 0);

    SimPlatform unreadable(ApplicationFirmware({"status:fail"}), folder.dir());
    EXPECT_EQ(Identify(unreadable, "COM3", out, err), console::kExitSuccess);
    EXPECT_EQ(unreadable.device.log().received(), "");
    EXPECT_EQ(Contents(out),
              "COM3: DSR off: a boot loader, or a cable without DSR; not asked.\n"
              "COM3: the modem status of this line cannot be read (no DSR): not asked.\n");
}

TEST_F(ConsoleInProcess, IdentifyTellsASilentOrStrangeAnswerAndAPortThatDoesNotOpen) {
    SimPlatform silent(ApplicationFirmware({"identity:none"}), folder.dir());
    EXPECT_EQ(Identify(silent, "COM3", out, err), console::kExitSuccess);
    SimPlatform strange(ApplicationFirmware({"identity:reply=\\rKYST-SM-01,654321"}), folder.dir());
    EXPECT_EQ(Identify(strange, "COM3", out, err), console::kExitSuccess);
    EXPECT_EQ(Contents(out), "COM3: DSR on, but nothing answered \"<V\" within 2 s.\n"
                             "COM3: DSR on, but the answer to \"<V\" is no Keystrand SM "
                             "identity: \"\\rKYST-SM-01,654321\".\n");
    EXPECT_NE(strange.appended.find("\"device_serial\":null"), std::string::npos);

    SimPlatform absent(ApplicationFirmware(), folder.dir());
    EXPECT_EQ(Identify(absent, "COM7", out, err), console::kExitPort);
    EXPECT_EQ(Contents(err).rfind("COM7: cannot be opened: ", 0), 0u) << Contents(err);
    EXPECT_NE(absent.appended.find("\"outcome\":\"identified\""), std::string::npos);
    EXPECT_NE(absent.appended.find("\"exit_code\":4"), std::string::npos);
}

} // namespace

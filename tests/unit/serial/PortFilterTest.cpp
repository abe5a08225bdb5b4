// The user's port filters: what is a filter, and which ports pass, by USB ids, serial number and
// name; and what Windows' instance ids tell of a COM port's USB device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/PortFilter.h"
#include "serial/UsbInstanceId.h"

namespace {

using serial::PortFilter;
using serial::PortInfo;

PortInfo Port(const std::string& name, const std::string& vid = "", const std::string& pid = "",
              const std::string& serialNumber = "", const std::string& alias = "") {
    PortInfo p;
    p.name = name;
    p.alias = alias;
    p.vendorId = vid;
    p.productId = pid;
    p.serialNumber = serialNumber;
    return p;
}

PortFilter Filter(const std::string& text) {
    PortFilter f;
    std::string error;
    EXPECT_TRUE(PortFilter::Parse(text, &f, &error)) << text << ": " << error;
    return f;
}

std::string ParseError(const std::string& text) {
    PortFilter f;
    std::string error;
    EXPECT_FALSE(PortFilter::Parse(text, &f, &error)) << text;
    return error;
}

TEST(PortFilter, ATextThatIsNoFilterIsRefusedWithWhatAFilterIs) {
    EXPECT_EQ(ParseError(""), "--port-filter needs a filter, such as vid=0403 or name=ttyUSB*");
    EXPECT_EQ(ParseError("0403"),
              "--port-filter 0403: \"0403\" is not KEY=VALUE (keys: vid, pid, serial, name)");
    EXPECT_EQ(ParseError("vendor=0403"),
              "--port-filter vendor=0403: unknown key \"vendor\" (keys: vid, pid, serial, name)");
    EXPECT_EQ(ParseError("vid=04030"), "--port-filter vid=04030: a USB vendor id is up to four hex "
                                       "digits, such as 0403, not \"04030\"");
    EXPECT_EQ(ParseError("pid=xy"), "--port-filter pid=xy: a USB product id is up to four hex "
                                    "digits, such as 6001, not \"xy\"");
    EXPECT_EQ(ParseError("vid=0403,vid=0404"),
              "--port-filter vid=0403,vid=0404: vid is given twice");
    EXPECT_EQ(ParseError("serial="), "--port-filter serial=: serial needs a value of 1 to 256 "
                                     "characters");
    EXPECT_EQ(ParseError("vid=0403,"),
              "--port-filter vid=0403,: \"\" is not KEY=VALUE (keys: vid, pid, serial, name)");
    EXPECT_FALSE(ParseError("name=" + std::string(300, '*')).empty());
}

TEST(PortFilter, UsbIdsAreHexInAnyCaseAndEveryPartMustHold) {
    const PortInfo ftdi = Port("/dev/ttyUSB0", "0403", "6001", "A1B2C3");
    const PortInfo other = Port("/dev/ttyUSB1", "10c4", "ea60", "0001");
    EXPECT_TRUE(Filter("vid=0403").passes(ftdi));
    EXPECT_TRUE(Filter("VID=403").passes(ftdi));
    EXPECT_TRUE(Filter("vid=0x0403,pid=6001").passes(ftdi));
    EXPECT_FALSE(Filter("vid=0403,pid=6015").passes(ftdi));
    EXPECT_TRUE(Filter("vid=10C4").passes(other));
    EXPECT_FALSE(Filter("vid=0403").passes(other));
    EXPECT_TRUE(Filter("serial=a1b2c3").passes(ftdi));
    EXPECT_FALSE(Filter("serial=A1B2").passes(ftdi)) << "a serial number is compared whole";
    // A port of which the system tells no USB facts never passes a filter on them.
    EXPECT_FALSE(Filter("vid=0000").passes(Port("/dev/ttyS0")));
    EXPECT_FALSE(Filter("serial=A1B2C3").passes(Port("COM3")));
}

TEST(PortFilter, ANamePatternMatchesTheNameOrItsOtherNameWholeOrTheirLastPart) {
    const PortInfo usb =
        Port("/dev/ttyUSB0", "", "", "", "/dev/serial/by-id/usb-FTDI_FT232R_A7XK3-if00-port0");
    EXPECT_TRUE(Filter("name=ttyUSB*").passes(usb));
    EXPECT_TRUE(Filter("name=/dev/tty*").passes(usb));
    EXPECT_TRUE(Filter("name=usb-FTDI_*").passes(usb));
    EXPECT_TRUE(Filter("name=ttyusb?").passes(usb)) << "case ignored";
    EXPECT_FALSE(Filter("name=ttyUSB").passes(usb));
    EXPECT_FALSE(Filter("name=ttyACM*").passes(usb));
    EXPECT_TRUE(Filter("name=COM1?").passes(Port("COM17")));
    EXPECT_FALSE(Filter("name=COM1?").passes(Port("COM1")));
}

TEST(PortFilter, APortPassesAnyOfSeveralFiltersAndEveryPortPassesNone) {
    const std::vector<PortInfo> ports = {Port("/dev/ttyUSB0", "0403", "6001"),
                                         Port("/dev/ttyUSB1", "10c4", "ea60"),
                                         Port("/dev/ttyACM0", "2341", "0043")};
    EXPECT_EQ(serial::Filtered({}, ports).size(), 3u);
    const std::vector<PortInfo> passed =
        serial::Filtered({Filter("vid=0403"), Filter("name=ttyACM*")}, ports);
    ASSERT_EQ(passed.size(), 2u);
    EXPECT_EQ(passed[0].name, "/dev/ttyUSB0");
    EXPECT_EQ(passed[1].name, "/dev/ttyACM0");
}

TEST(PortFilter, APatternIsMatchedInLittleTimeWhateverItAndTheTextAre) {
    EXPECT_TRUE(serial::MatchesPattern("*", ""));
    EXPECT_TRUE(serial::MatchesPattern("a*b*c", "axxbyyc"));
    EXPECT_FALSE(serial::MatchesPattern("a*b*c", "axxbyy"));
    EXPECT_TRUE(serial::MatchesPattern("**?", "x"));
    EXPECT_FALSE(serial::MatchesPattern("?", ""));
    // Many stars against a long text that nearly matches: done at once, not in exponential time.
    EXPECT_FALSE(serial::MatchesPattern(std::string(100, '*') + "b", std::string(100000, 'a')));
}

TEST(UsbInstanceId, TheIdsAndSerialNumberWhereTheInstanceIdHoldsThem) {
    serial::UsbIds ids;
    ASSERT_TRUE(serial::UsbIdsFromInstanceId("USB\\VID_0403&PID_6001\\A1B2C3", &ids));
    EXPECT_EQ(ids.vendorId, "0403");
    EXPECT_EQ(ids.productId, "6001");
    EXPECT_EQ(ids.serialNumber, "A1B2C3");
    // A serial number Windows made up, and one interface of a composite device: none here.
    ASSERT_TRUE(serial::UsbIdsFromInstanceId("USB\\VID_10C4&PID_EA60\\5&2F5C0E7&0&3", &ids));
    EXPECT_EQ(ids.vendorId, "10c4");
    EXPECT_EQ(ids.productId, "ea60");
    EXPECT_EQ(ids.serialNumber, "");
    ASSERT_TRUE(serial::UsbIdsFromInstanceId("USB\\VID_2341&PID_0043&MI_00\\7&1A&0&0000", &ids));
    EXPECT_EQ(ids.serialNumber, "");
    // FTDI's own driver: the serial number with the port's letter after it.
    ASSERT_TRUE(serial::UsbIdsFromInstanceId("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", &ids));
    EXPECT_EQ(ids.vendorId, "0403");
    EXPECT_EQ(ids.serialNumber, "A50285BI");
    for (const char* other : {"ACPI\\PNP0501\\1", "", "USB\\VID_04", "USB\\VID_zzzz&PID_0001\\1"}) {
        EXPECT_FALSE(serial::UsbIdsFromInstanceId(other, &ids)) << other;
        EXPECT_EQ(ids.vendorId, "");
    }
}

} // namespace

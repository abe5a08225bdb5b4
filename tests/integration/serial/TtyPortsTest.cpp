// The Linux port listing on a made-up /dev and /sys: which ttys are listed, in which order, with
// which stable name and what the USB device says of itself.
#include "serial/posix/TtyPorts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace {

using serial::PortInfo;

class TtyPorts : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d :
             {"dev", "dev/serial", "dev/serial/by-id", "dev/pts", "sys", "sys/class",
              "sys/class/tty", "sys/devices", "sys/devices/usb1", "sys/devices/usb1/1-2",
              "sys/devices/usb1/1-2/1-2:1.0", "sys/devices/usb1/1-2/1-2:1.0/ttyUSB2"}) {
            ::mkdir(root.path(d).c_str(), 0755);
        }
        for (const char* tty :
             {"ttyACM1", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSBx", "ttyS0", "ttyUSB", "pts/7"}) {
            root.write(std::string("dev/") + tty, "");
        }
        // The USB serial adapter behind ttyUSB2: its interface, and the device above it.
        const std::string usb = root.path("sys/devices/usb1/1-2");
        root.write("sys/devices/usb1/1-2/idVendor", "0403\n");
        root.write("sys/devices/usb1/1-2/idProduct", "6001\n");
        root.write("sys/devices/usb1/1-2/manufacturer", "FTDI\n");
        root.write("sys/devices/usb1/1-2/product", "FT232R USB UART\n");
        root.write("sys/devices/usb1/1-2/serial", "A7XK3\n");
        ::mkdir(root.path("sys/class/tty/ttyUSB2").c_str(), 0755);
        ::symlink((usb + "/1-2:1.0/ttyUSB2").c_str(),
                  root.path("sys/class/tty/ttyUSB2/device").c_str());
        ::symlink("../../ttyUSB2",
                  root.path("dev/serial/by-id/usb-FTDI_FT232R_A7XK3-if00-port0").c_str());
        // A device whose driver is of another family: listed by the tty its link leads to.
        ::symlink("../../pts/7", root.path("dev/serial/by-id/usb-Other-if00").c_str());
    }

    TempDir root;
};

TEST_F(TtyPorts, UsbThenAcmInNumberOrderWithStableNamesAndWhatTheDeviceSays) {
    const std::vector<PortInfo> ports = serial::posix::ListTtys(root.path("dev"), root.path("sys"));
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[0].name, root.path("dev/ttyUSB2"));
    EXPECT_EQ(ports[0].alias, root.path("dev/serial/by-id/usb-FTDI_FT232R_A7XK3-if00-port0"));
    EXPECT_EQ(ports[0].description, "FTDI FT232R USB UART (0403:6001), serial A7XK3");
    EXPECT_EQ(ports[0].vendorId, "0403");
    EXPECT_EQ(ports[0].productId, "6001");
    EXPECT_EQ(ports[0].serialNumber, "A7XK3");
    EXPECT_EQ(ports[1].vendorId, "");
    EXPECT_NE(ports[0].instance, "");
    EXPECT_NE(ports[0].instance, ports[1].instance);
    EXPECT_EQ(ports[1].name, root.path("dev/ttyUSB10"));
    EXPECT_EQ(ports[1].alias, "");
    EXPECT_EQ(ports[1].description, "") << "sysfs knows nothing of it";
    EXPECT_EQ(ports[2].name, root.path("dev/ttyACM0"));
    EXPECT_EQ(ports[3].name, root.path("dev/ttyACM1"));
    EXPECT_EQ(ports[4].name, serial::posix::ResolvedPath(root.path("dev/pts/7")));
    EXPECT_EQ(ports[4].alias, root.path("dev/serial/by-id/usb-Other-if00"));
}

TEST_F(TtyPorts, ThePathOfALineIsDescribedByWhereItLeadsAndItsUsbDevice) {
    const std::string byId = root.path("dev/serial/by-id/usb-FTDI_FT232R_A7XK3-if00-port0");
    EXPECT_EQ(serial::posix::DescribeTty(byId, root.path("sys")),
              serial::posix::ResolvedPath(root.path("dev/ttyUSB2")) +
                  ", FTDI FT232R USB UART (0403:6001), serial A7XK3");
    EXPECT_EQ(serial::posix::DescribeTty(root.path("dev/ttyACM0"), root.path("sys")), "");
    EXPECT_TRUE(serial::posix::ListTtys(root.path("nothing"), root.path("sys")).empty());
}

TEST_F(TtyPorts, ANodeOrLinkMadeAnewIsAnotherPlugWhileOneThatStaysIsTheSame) {
    const std::string node = root.path("dev/ttyUSB2");
    const std::string before = serial::posix::PlugInstance(node);
    ::chmod(node.c_str(), 0600); // udev setting the mode after the node appeared
    EXPECT_EQ(serial::posix::PlugInstance(node), before);
    // A link that leads to a terminal, made anew in its place (a device plugged in again).
    const std::string link = root.path("dev/ttyACM5");
    ASSERT_EQ(::symlink("pts/7", link.c_str()), 0);
    const std::string first = serial::posix::PlugInstance(link);
    ASSERT_EQ(::unlink(link.c_str()), 0);
    ASSERT_EQ(::symlink("pts/7", link.c_str()), 0);
    EXPECT_NE(serial::posix::PlugInstance(link), first);
    EXPECT_EQ(serial::posix::PlugInstance(root.path("dev/nothing")), "");
}

TEST_F(TtyPorts, ASysfsOfPipesAndHugeFilesHoldsTheListingUpNot) {
    // What the USB device says, read from a pipe nobody writes and from a file of a megabyte:
    // the pipe is not waited on, the file read only as far as a line needs.
    const std::string usb = root.path("sys/devices/usb1/1-2");
    ::unlink((usb + "/manufacturer").c_str());
    ASSERT_EQ(::mkfifo((usb + "/manufacturer").c_str(), 0644), 0);
    root.write("sys/devices/usb1/1-2/product", std::string(1 << 20, 'p'));
    const std::vector<PortInfo> ports = serial::posix::ListTtys(root.path("dev"), root.path("sys"));
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports[0].description, std::string(200, 'p') + " (0403:6001), serial A7XK3");
}

} // namespace

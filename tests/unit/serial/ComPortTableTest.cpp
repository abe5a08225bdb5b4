// Unit tests of the host's COM port table and its reading of Windows device paths.
#include "serial/posix/ComPortTable.h"

#include <gtest/gtest.h>

namespace {

using serial::posix::ComPortTable;

TEST(ComPortTable, ReadsThePortNumberOfAWindowsDevicePath) {
    EXPECT_EQ(ComPortTable::portFromDevicePath("\\\\.\\COM1"), 1);
    EXPECT_EQ(ComPortTable::portFromDevicePath("\\\\.\\COM12"), 12);
    EXPECT_EQ(ComPortTable::portFromDevicePath("\\\\.\\com7"), 7);
    EXPECT_EQ(ComPortTable::portFromDevicePath("\\\\.\\Com10"), 10);
    EXPECT_EQ(ComPortTable::portFromDevicePath("\\\\.\\COM9999"), 9999);
}

TEST(ComPortTable, RejectsEveryOtherForm) {
    const char* const others[] = {
        nullptr,
        "",
        "COM3",
        "\\\\.\\COM",
        "\\\\.\\COM0",
        "\\\\.\\COM03",
        "\\\\.\\COM-3",
        "\\\\.\\COM3 ",
        "\\\\.\\COM3a",
        "\\\\?\\COM3",
        "\\\\.\\LPT1",
        "/dev/ttyS0",
        "\\\\.\\COM10000",
        "\\\\.\\COM99999999999999999999",
    };
    for (const char* path : others) {
        EXPECT_EQ(ComPortTable::portFromDevicePath(path), -1) << (path ? path : "(null)");
    }
}

TEST(ComPortTable, MapsNumbersToPathsUntilRemoved) {
    ComPortTable table;
    EXPECT_EQ(table.pathFor(5), "");

    table.set(5, "/dev/pts/3");
    table.set(12, "/dev/ttyUSB0");
    EXPECT_EQ(table.pathFor(5), "/dev/pts/3");
    EXPECT_EQ(table.pathFor(12), "/dev/ttyUSB0");
    EXPECT_EQ(table.pathFor(6), "");

    table.set(5, "/dev/pts/4");
    EXPECT_EQ(table.pathFor(5), "/dev/pts/4");
    EXPECT_EQ(table.entries().size(), 2u);

    table.remove(5);
    EXPECT_EQ(table.pathFor(5), "");
    table.clear();
    EXPECT_TRUE(table.entries().empty());
}

} // namespace

// Windows' port names and the walk over its serial-port map, as the console lists its ports.
#include <gtest/gtest.h>

#include <vector>

#include "fw/host/MemoryPortMap.h"
#include "serial/ComName.h"
#include "serial/PortMapWalk.h"

namespace {

TEST(ComName, TheFormsAUserTypesForAnyPortWindowsHandsOut) {
    EXPECT_EQ(serial::ComNumberFromText("COM3"), 3);
    EXPECT_EQ(serial::ComNumberFromText("com17"), 17);
    EXPECT_EQ(serial::ComNumberFromText("\\\\.\\COM256"), 256);
    EXPECT_EQ(serial::ComNumberFromText("4096"), 4096);
    for (const char* text : {"COM03", "COM", "COM3x", "COM4097", "0", "-1", "", "/dev/ttyUSB0",
                             "COM 3", "99999999999"}) {
        EXPECT_EQ(serial::ComNumberFromText(text), 0) << text;
    }
    EXPECT_EQ(serial::ComName(12), "COM12");
}

TEST(PortMapWalk, EveryValueWithBuffersLargeEnoughAndNoneAfterOneThatDoesNotFit) {
    fw::host::MemoryPortMap map;
    map.add("\\Device\\Serial0", "COM1");
    map.add("\\Device\\VCP0", "COM17");
    map.add(std::string(60, 'n'), "COM5");
    map.add("\\Device\\VCP1", "COM9");
    std::vector<std::string> seen;
    HKEY key = nullptr;
    ASSERT_TRUE(serial::WalkPortMap(map, &key, 256, 256,
                                    [&](const std::string& name, const std::string& data) {
                                        seen.push_back(name.substr(0, 8) + "=" + data);
                                    }));
    EXPECT_EQ(seen, (std::vector<std::string>{"\\Device\\=COM1", "\\Device\\=COM17",
                                              "nnnnnnnn=COM5", "\\Device\\=COM9"}));
    EXPECT_EQ(key, nullptr);

    // The dialog's buffers: a name longer than 50 characters ends the walk there.
    seen.clear();
    ASSERT_TRUE(serial::WalkPortMap(
        map, &key, 51, 21, [&](const std::string&, const std::string& d) { seen.push_back(d); }));
    EXPECT_EQ(seen, (std::vector<std::string>{"COM1", "COM17"}));

    fw::host::MemoryPortMap none;
    none.present = false;
    EXPECT_FALSE(
        serial::WalkPortMap(none, &key, 256, 256, [](const std::string&, const std::string&) {}));
    EXPECT_EQ(key, nullptr);
}

} // namespace

// The ttys of a made-up /dev watched by inotify: a change wakes the watch, nothing leaves it to
// its limit, the stable names' folder made later is watched too, and where there is nothing to
// watch it says so and looks every so often.
#include "serial/posix/TtyWatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "base/SteadyClock.h"
#include "support/TempDir.h"

namespace {

// Every wait ends long before this; a watch that misses a change would fail, not hang.
constexpr std::uint32_t kGenerousMs = 10000;

class TtyWatch : public ::testing::Test {
protected:
    void SetUp() override { ::mkdir(root.path("dev").c_str(), 0755); }

    TempDir root;
    base::SteadyClock clock;
};

TEST_F(TtyWatch, APortThatComesOrGoesWakesTheWatchAndNothingElseDoes) {
    const auto watch = serial::posix::WatchTtys(root.path("dev"), clock);
    EXPECT_EQ(watch->fallback(), "");
    EXPECT_FALSE(watch->wait(50)) << "nothing changed";
    root.write("dev/ttyUSB0", "");
    EXPECT_TRUE(watch->wait(kGenerousMs));
    EXPECT_FALSE(watch->wait(50)) << "each change is told once";
    root.remove("dev/ttyUSB0");
    EXPECT_TRUE(watch->wait(kGenerousMs));
    // A link renamed over another, as a device's stable name is made anew.
    ASSERT_EQ(::symlink("/dev/null", root.path("dev/new").c_str()), 0);
    EXPECT_TRUE(watch->wait(kGenerousMs));
    ASSERT_EQ(std::rename(root.path("dev/new").c_str(), root.path("dev/ttyACM0").c_str()), 0);
    EXPECT_TRUE(watch->wait(kGenerousMs));
}

TEST_F(TtyWatch, TheStableNamesAreWatchedOnceTheirFolderIsMade) {
    const auto watch = serial::posix::WatchTtys(root.path("dev"), clock);
    ::mkdir(root.path("dev/serial").c_str(), 0755);
    EXPECT_TRUE(watch->wait(kGenerousMs));
    ::mkdir(root.path("dev/serial/by-id").c_str(), 0755);
    EXPECT_TRUE(watch->wait(kGenerousMs));
    ASSERT_EQ(::symlink("../../ttyUSB0", root.path("dev/serial/by-id/usb-FTDI-if00").c_str()), 0);
    EXPECT_TRUE(watch->wait(kGenerousMs));
}

TEST_F(TtyWatch, WithoutAFolderToWatchTheWatchSaysWhyAndLooksEverySoOften) {
    const auto missing = serial::posix::WatchTtys(root.path("nothing"), clock);
    EXPECT_NE(missing->fallback().find("cannot watch " + root.path("nothing")), std::string::npos)
        << missing->fallback();
    EXPECT_TRUE(missing->wait(kGenerousMs)) << "a look is due within its period";

    const auto watch = serial::posix::WatchTtys(root.path("dev"), clock);
    ASSERT_EQ(::rmdir(root.path("dev").c_str()), 0);
    EXPECT_TRUE(watch->wait(kGenerousMs));
    EXPECT_NE(watch->fallback().find("went away"), std::string::npos) << watch->fallback();
}

} // namespace

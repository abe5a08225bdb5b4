// Pure rules of the dialog frame: the placement of both dialogs and the firmware file's stamp.
#include <gtest/gtest.h>

#include "ui/DialogPosition.h"
#include "ui/ModificationStamp.h"

namespace {

TEST(ComputeDialogPosition, CentresAcrossTheScreenAQuarterOfTheFreeHeightDown) {
    DialogPosition p = ComputeDialogPosition(600, 500, 1024, 768);
    EXPECT_EQ(p.x, 212);
    EXPECT_EQ(p.y, 67);
    p = ComputeDialogPosition(480, 360, 1024, 768);
    EXPECT_EQ(p.x, 272);
    EXPECT_EQ(p.y, 102);
}

TEST(ComputeDialogPosition, TruncatesTowardZeroForAWindowLargerThanTheScreen) {
    const DialogPosition p = ComputeDialogPosition(700, 503, 640, 480);
    EXPECT_EQ(p.x, -30);
    EXPECT_EQ(p.y, -5);
}

base::LocalTime At(int hour, int minute, int second) {
    base::LocalTime t;
    t.year = 2006;
    t.month = 11;
    t.day = 27;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

TEST(ModificationStamp, UsesTheTwelveHourFormWithZeroFilledMinutesAndSeconds) {
    EXPECT_EQ(FormatModificationStamp(At(21, 5, 7)), "     (11-27-2006,  9:05:07 PM)");
    EXPECT_EQ(FormatModificationStamp(At(0, 0, 0)), "     (11-27-2006,  0:00:00 AM)");
    EXPECT_EQ(FormatModificationStamp(At(12, 30, 59)), "     (11-27-2006, 12:30:59 PM)");
    EXPECT_EQ(FormatModificationStamp(At(23, 59, 1)), "     (11-27-2006, 11:59:01 PM)");
    EXPECT_EQ(FormatModificationStamp(At(11, 10, 10)), "     (11-27-2006, 11:10:10 AM)");
    EXPECT_EQ(FormatModificationStamp(At(13, 1, 9)), "     (11-27-2006,  1:01:09 PM)");
}

TEST(ModificationStamp, ShowsTheFailureValuesOfATimeThatCouldNotBeConverted) {
    EXPECT_EQ(FormatModificationStamp(base::LocalTime{}), "     (0-0-0, -1:-1:-1 AM)");
}

} // namespace

// The stamp that follows the HEX file's name in the "Firmware file" status line.
#pragma once
#include <string>

#include "base/TextFile.h"

// "     (month-day-year, hh:mm:ss AM)" in the 12-hour form: hour 0 shows as 0 AM, 12 as 12 PM,
// 13 to 23 as 1 to 11 PM; minutes and seconds get a leading zero, the hour keeps its blank.
std::string FormatModificationStamp(const base::LocalTime& time);

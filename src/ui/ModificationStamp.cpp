// The modification stamp of the firmware HEX file.
#include "ui/ModificationStamp.h"

#include <cstdio>

std::string FormatModificationStamp(const base::LocalTime& time) {
    char date[64];
    std::snprintf(date, sizeof date, "     (%d-%d-%d, ", time.month, time.day, time.year);

    int hour = time.hour;
    const char* suffix = hour >= 12 ? "PM" : "AM";
    if (hour > 12) {
        hour -= 12;
    }
    char clock[64];
    std::snprintf(clock, sizeof clock, "%2d:%2d:%2d %s)", hour, time.minute, time.second, suffix);
    // The first digit places of minute and second: a blank there becomes a zero.
    std::string timePiece = clock;
    for (std::size_t position : {std::size_t{3}, std::size_t{6}}) {
        if (position < timePiece.size() && timePiece[position] == ' ') {
            timePiece[position] = '0';
        }
    }
    return date + timePiece;
}

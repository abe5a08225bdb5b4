// The --report record of one device update: one JSON object on one line (JSON Lines), for a
// production line's own account of which device got which file, when, and how it ended.
#pragma once
#include <ctime>
#include <string>

#include "update/UpdateOutcome.h"

namespace console {

struct UpdateRecord {
    std::time_t started = 0;
    std::string host;
    std::string toolVersion;
    std::string port;        // as given
    std::string device;      // what the system says of it; empty: null
    bool packageRead = true; // false (--identify): the package's three fields are null
    std::string packageVersion;
    std::string hexFile;
    std::string hexSha256;         // of the bytes sent; empty: null
    std::string deviceSerial;      // empty: null
    std::string bootLoaderVersion; // empty: null
    int rowsSent = 0;
    int rowsTotal = 0;
    long dataBytes = 0;
    double seconds = 0;
    // updated, package, port, entry, transfer, stopped, internal; identified (--identify)
    std::string outcome;
    std::string deviceState; // unchanged, restart requested, unknown, incomplete, updated
    int exitCode = 0;
    std::string message; // the sentence the screen showed
};

// The record as one line of JSON, without its line end. Every text is plain ASCII in it: quotes,
// backslashes, control characters and bytes above 0x7F are written as JSON escapes.
std::string RecordLine(const UpdateRecord& record);

// The six characters after "\rKYST-SM-00," of an identity reply; empty when there are none.
std::string DeviceSerial(const std::string& identity);

// The record's word for how an update ended, from its exit code, and for the device's state.
const char* OutcomeWord(int exitCode);
const char* DeviceStateWord(update::DeviceState state);

} // namespace console

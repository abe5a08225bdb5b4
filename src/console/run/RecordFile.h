// The --report file: one record appended per device, whatever the job (an update, --identify).
#pragma once
#include <string>

#include "console/os/Platform.h"
#include "console/words/Record.h"

namespace console {

// A record with what every record of this program on this machine holds: host, tool version.
UpdateRecord RecordOnThisMachine(Platform& platform);

// Appends the port's record to the report file: empty when it was written, else the problem in
// words ("keystrand-update: the record of ... could not be written ...").
std::string AppendRecord(Platform& platform, const std::string& reportPath, const std::string& port,
                         const UpdateRecord& record);

} // namespace console

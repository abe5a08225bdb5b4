// Appending records to the --report file.
#include "console/run/RecordFile.h"

#include "app/ProgramVersion.h"
#include "base/ProductNames.h"
#include "console/words/Text.h"

namespace console {

UpdateRecord RecordOnThisMachine(Platform& platform) {
    UpdateRecord r;
    r.host = platform.hostName();
    r.toolVersion = PROGRAM_VERSION_TEXT;
    return r;
}

std::string AppendRecord(Platform& platform, const std::string& reportPath, const std::string& port,
                         const UpdateRecord& record) {
    std::string why;
    if (platform.appendLine(reportPath, RecordLine(record) + "\n", &why)) {
        return std::string();
    }
    return CONSOLE_PROGRAM_NAME ": the record of " + Escaped(port) +
           " could not be written to the report " + Quoted(reportPath) + ": " + why + ".";
}

} // namespace console

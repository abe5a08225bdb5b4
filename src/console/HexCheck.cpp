// The HEX file check of --check: every row through the transfer's own record check.
#include "console/HexCheck.h"

#include "fw/TextFile.h"
#include "update/HexRecord.h"

namespace console {

namespace {

constexpr std::size_t kShownRowChars = 80;

} // namespace

HexCheckResult CheckHexFile(const std::string& path) {
    HexCheckResult r;
    fw::TextFile file;
    if (!file.Open(path)) {
        r.problem = "the HEX file cannot be opened";
        return r;
    }
    std::string row;
    intelhex::HexRecord record;
    while (file.ReadString(row)) {
        r.rows++;
        if (r.badRow != 0) {
            continue; // keep counting the rows
        }
        const bool valid = intelhex::ParseHexRecord(row, &record);
        if (!valid || r.endOfFileRow != 0) {
            r.badRow = r.rows;
            r.badText = row.size() > kShownRowChars ? row.substr(0, kShownRowChars) + "..." : row;
            r.problem = !valid
                            ? "row " + std::to_string(r.rows) + " is not a valid Intel-HEX record"
                            : "row " + std::to_string(r.rows) + " follows the end-of-file record";
            continue;
        }
        if (record.type == intelhex::kEndOfFile) {
            r.endOfFileRow = r.rows;
        } else if (record.type == intelhex::kData) {
            r.dataRecords++;
            r.dataBytes += static_cast<long>(record.data.size());
        }
    }
    file.Close();
    if (r.badRow != 0) {
        return r;
    }
    if (r.rows == 0) {
        r.problem = "the HEX file has no rows";
        return r;
    }
    if (r.endOfFileRow == 0) {
        r.problem = "the HEX file does not end with the end-of-file record (:00000001FF)";
        return r;
    }
    r.ok = true;
    return r;
}

} // namespace console

// The whole-file check of a firmware HEX file, row by row, as the transfer reads and checks it.
#pragma once
#include <string>

namespace console {

struct HexCheckResult {
    bool ok = false;
    int rows = 0;         // rows read, blank ones included
    int dataRecords = 0;  // rows that carry data
    long dataBytes = 0;   // bytes those rows carry
    int endOfFileRow = 0; // row of the end-of-file record, 0 when there is none
    int badRow = 0;       // first row that fails, 0 when none does
    std::string badText;  // that row, shortened to 80 characters
    std::string problem;  // why the file is refused; empty when ok
};

// Reads the file in text mode, as the transfer does (fw::TextFile), and checks every row with
// intelhex::ParseHexRecord, the transfer's own row check. Refused: a file that cannot be opened,
// one without rows, a row that is not a valid record (blank rows included), a file without the
// end-of-file record, and rows after it (the boot loader ends the transfer at that record).
HexCheckResult CheckHexFile(const std::string& path);

} // namespace console

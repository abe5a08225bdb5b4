// The whole-file check of a HEX file, row by row through the record check.
#include "update/HexFileCheck.h"

#include "base/Printable.h"
#include "update/HexRecord.h"

namespace update {

namespace {

constexpr std::size_t kShownRowChars = 80;

std::string ShownRow(const std::string& row) {
    const std::string shown = base::Escaped(row.substr(0, kShownRowChars));
    return row.size() > kShownRowChars ? shown + "..." : shown;
}

} // namespace

std::string HexFileProblem::Describe() const {
    using K = Kind;
    switch (kind) {
    case K::kNone:
        return "no problem";
    case K::kCannotOpen:
        return "the HEX file cannot be opened";
    case K::kReadFailed:
        return "reading the HEX file failed after row " + std::to_string(row);
    case K::kNoRows:
        return "the HEX file holds no rows";
    case K::kBadRecord:
        return "row " + std::to_string(row) + ": " + detail;
    case K::kLastRowNotEndOfFile:
        return "row " + std::to_string(row) + ": not the end-of-file record";
    case K::kEndOfFileNotLast:
        return "end-of-file record at row " + std::to_string(row) + " of " + std::to_string(rows);
    }
    return "unknown problem";
}

HexFileSummary CheckHexRows(base::TextFile& file) {
    HexFileSummary s;
    HexFileProblem& p = s.problem;
    int endOfFileRow = 0;
    bool lastWasEndOfFile = false;
    std::string row;
    intelhex::HexRecord record;
    bool overlong = false;
    // No row is kept beyond the longest record, however long the file's lines are.
    while (file.ReadString(row, intelhex::kMaxRecordChars + 1, &overlong)) {
        s.rows++;
        if (p.kind != HexFileProblem::Kind::kNone) {
            continue; // keep counting, so that the problem can say "of N"
        }
        std::string why;
        if (overlong || row.size() > intelhex::kMaxRecordChars) {
            why = "longer than any record (more than " + std::to_string(intelhex::kMaxRecordChars) +
                  " characters)";
        }
        if (!why.empty() || !intelhex::ParseHexRecord(row, &record, &why)) {
            p.kind = HexFileProblem::Kind::kBadRecord;
            p.row = s.rows;
            p.detail = why;
            p.rowText = ShownRow(row);
            continue;
        }
        lastWasEndOfFile = record.type == intelhex::kEndOfFile;
        if (lastWasEndOfFile && endOfFileRow == 0) {
            endOfFileRow = s.rows;
        } else if (record.type == intelhex::kData) {
            s.dataRecords++;
            s.dataBytes += static_cast<long>(record.data.size());
        }
    }
    p.rows = s.rows;
    if (file.ReadFailed()) {
        p = HexFileProblem{HexFileProblem::Kind::kReadFailed, s.rows, s.rows, "", ""};
        return s;
    }
    if (p.kind != HexFileProblem::Kind::kNone) {
        return s;
    }
    if (s.rows == 0) {
        p.kind = HexFileProblem::Kind::kNoRows;
    } else if (endOfFileRow != 0 && endOfFileRow != s.rows) {
        p.kind = HexFileProblem::Kind::kEndOfFileNotLast;
        p.row = endOfFileRow;
    } else if (!lastWasEndOfFile) {
        p.kind = HexFileProblem::Kind::kLastRowNotEndOfFile;
        p.row = s.rows;
    }
    return s;
}

HexFileSummary CheckHexFile(const std::string& path, base::FileOpener* files) {
    base::TextFile file(files);
    if (!file.Open(path)) {
        HexFileSummary s;
        s.problem.kind = HexFileProblem::Kind::kCannotOpen;
        return s;
    }
    return CheckHexRows(file);
}

} // namespace update

// The whole-file check of a firmware HEX file: what makes a file that can be flashed.
#pragma once
#include <string>

#include "base/TextFile.h"

namespace update {

// Why a HEX file cannot be flashed; kind kNone when it can.
struct HexFileProblem {
    enum class Kind {
        kNone,
        kCannotOpen,
        kReadFailed, // reading stopped with an error before the end (row: rows read)
        kNoRows,     // the file holds no row
        kBadRecord,  // row is not a valid Intel-HEX record (detail says why)
        kLastRowNotEndOfFile,
        kEndOfFileNotLast, // an end-of-file record before the last row (doubled ones too)
    };
    Kind kind = Kind::kNone;
    int row = 0;         // the row concerned, counted from 1
    int rows = 0;        // rows in the file (as far as it could be read)
    std::string detail;  // kBadRecord: the record check's reason
    std::string rowText; // kBadRecord: the row, at most 80 characters, non-printing escaped

    // One line for a user, e.g. "row 100: checksum 3C, expected 3D",
    // "row 2049: not the end-of-file record", "end-of-file record at row 12 of 40".
    std::string Describe() const;
};

struct HexFileSummary {
    int rows = 0;        // rows read, blank ones included
    int dataRecords = 0; // rows that carry data
    long dataBytes = 0;  // bytes those rows carry
    HexFileProblem problem;

    bool ok() const { return problem.kind == HexFileProblem::Kind::kNone; }
};

// Reads an open file from where it stands to its end, in text mode as the transfer reads it,
// and checks it: every row a valid Intel-HEX record, and exactly one end-of-file record, which
// is the last row. The boot loader ends the transfer at that record, so a file without it, or
// with rows after it, can never be flashed whole.
HexFileSummary CheckHexRows(base::TextFile& file);

// Opens the file at path through the seam (null: the machine's files) and checks it.
HexFileSummary CheckHexFile(const std::string& path, base::FileOpener* files = nullptr);

} // namespace update

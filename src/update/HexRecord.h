// The Intel-HEX record check: one row of a HEX file, parsed and verified.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace intelhex {

enum RecordType : std::uint8_t {
    kData = 0,
    kEndOfFile = 1,
    kExtendedSegmentAddress = 2,
    kStartSegmentAddress = 3,
    kExtendedLinearAddress = 4,
    kStartLinearAddress = 5,
};

struct HexRecord {
    std::uint8_t length = 0;
    std::uint16_t address = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;
};

// The longest row a record can be: ':' and the hex digits of 255 data bytes with the length,
// address, type and checksum around them.
constexpr std::size_t kMaxRecordChars = 1 + 2 * (255 + 5);

// The value of one hex digit, upper or lower case; -1 for any other character.
int HexDigitValue(char c);

// Parses a row given without its line end. False, leaving record unspecified, when the row is
// empty, does not begin with ':', holds anything but pairs of hex digits after it, has fewer or
// more data bytes than its length byte says, has a wrong checksum or an unknown record type, or
// has a length its type does not allow (end of file 0, extended address 2, start address 4).
bool ParseHexRecord(const std::string& row, HexRecord* record);

// As above; on false, problem (when given) says why in a few words, for example
// "checksum 3C, expected 3D" or "'G' at column 8 is not a hex digit". Characters of the row are
// quoted with non-printing ones escaped.
bool ParseHexRecord(const std::string& row, HexRecord* record, std::string* problem);

} // namespace intelhex

// Parses and verifies one Intel-HEX row: colon, length, address, type, data and checksum.
#include "update/HexRecord.h"

#include "base/Printable.h"

namespace intelhex {

namespace {

std::string Hex2(unsigned value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return std::string{kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

const char* TypeName(std::uint8_t type) {
    switch (type) {
    case kEndOfFile:
        return "end-of-file record";
    case kExtendedSegmentAddress:
        return "extended segment address record";
    case kExtendedLinearAddress:
        return "extended linear address record";
    case kStartSegmentAddress:
        return "start segment address record";
    case kStartLinearAddress:
        return "start linear address record";
    default:
        return "data record";
    }
}

// The record lengths each type allows; -1 for any length.
int RequiredLength(std::uint8_t type) {
    switch (type) {
    case kData:
        return -1;
    case kEndOfFile:
        return 0;
    case kExtendedSegmentAddress:
    case kExtendedLinearAddress:
        return 2;
    case kStartSegmentAddress:
    case kStartLinearAddress:
        return 4;
    default:
        return -2;
    }
}

} // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool ParseHexRecord(const std::string& row, HexRecord* record) {
    return ParseHexRecord(row, record, nullptr);
}

bool ParseHexRecord(const std::string& row, HexRecord* record, std::string* problem) {
    std::string ignored;
    std::string& why = problem != nullptr ? *problem : ignored;
    // A record is ':' followed by pairs of hex digits: length, address (two bytes), type,
    // the data bytes and the checksum, so it holds 11 + 2 * length characters.
    constexpr std::size_t kFixedDigits = 10;
    if (record == nullptr) {
        why = "no place for the record";
        return false;
    }
    if (row.empty()) {
        why = "empty row";
        return false;
    }
    if (row[0] != ':') {
        why = "begins with '" + base::Escaped(row.substr(0, 1)) + "', not ':'";
        return false;
    }
    for (std::size_t i = 1; i < row.size(); ++i) {
        if (HexDigitValue(row[i]) < 0) {
            why = "'" + base::Escaped(row.substr(i, 1)) + "' at column " + std::to_string(i + 1) +
                  " is not a hex digit";
            return false;
        }
    }
    const std::size_t digits = row.size() - 1;
    if (digits < kFixedDigits) {
        why = "too short for a record (" + std::to_string(digits) + " hex digits)";
        return false;
    }
    if (digits % 2 != 0) {
        why = "odd number of hex digits (" + std::to_string(digits) + ")";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(digits / 2);
    for (std::size_t i = 1; i < row.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(HexDigitValue(row[i]) * 16 + HexDigitValue(row[i + 1])));
    }
    const std::uint8_t length = bytes[0];
    if (bytes.size() != static_cast<std::size_t>(length) + 5) {
        why = "length byte " + Hex2(length) + " says " + std::to_string(length) +
              " data bytes, the row holds " +
              std::to_string(bytes.size() - 5); // at least 5: the row has at least 10 digits
        return false;
    }
    // The checksum makes the sum of all bytes of the record zero modulo 256.
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        sum += bytes[i];
    }
    const unsigned expected = (0x100u - (sum & 0xFFu)) & 0xFFu;
    if (bytes.back() != expected) {
        why = "checksum " + Hex2(bytes.back()) + ", expected " + Hex2(expected);
        return false;
    }
    const std::uint8_t type = bytes[3];
    const int required = RequiredLength(type);
    if (required == -2) {
        why = "unknown record type " + Hex2(type);
        return false;
    }
    if (required >= 0 && required != length) {
        why = std::string(TypeName(type)) + " with " + std::to_string(length) +
              " data bytes, not " + std::to_string(required);
        return false;
    }
    record->length = length;
    record->address = static_cast<std::uint16_t>((bytes[1] << 8) | bytes[2]);
    record->type = type;
    record->data.assign(bytes.begin() + 4, bytes.begin() + 4 + length);
    return true;
}

} // namespace intelhex

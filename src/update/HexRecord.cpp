// Parses and verifies one Intel-HEX row: colon, length, address, type, data and checksum.
#include "update/HexRecord.h"

namespace intelhex {

namespace {


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
    // A record is ':' followed by pairs of hex digits: length, address (two bytes), type,
    // the data bytes and the checksum, so it holds 11 + 2 * length characters.
    constexpr std::size_t kFixedDigits = 10;
    if (record == nullptr || row.empty() || row[0] != ':') {
        return false;
    }
    const std::size_t digits = row.size() - 1;
    if (digits < kFixedDigits || digits % 2 != 0) {
        return false;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(digits / 2);
    for (std::size_t i = 1; i < row.size(); i += 2) {
        const int high = HexDigitValue(row[i]);
        const int low = HexDigitValue(row[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    const std::uint8_t length = bytes[0];
    if (bytes.size() != static_cast<std::size_t>(length) + 5) {
        return false;
    }
    // The checksum makes the sum of all bytes of the record zero modulo 256.
    unsigned sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    if ((sum & 0xFFu) != 0) {
        return false;
    }
    const std::uint8_t type = bytes[3];
    const int required = RequiredLength(type);
    if (required == -2 || (required >= 0 && required != length)) {
        return false;
    }
    record->length = length;
    record->address = static_cast<std::uint16_t>((bytes[1] << 8) | bytes[2]);
    record->type = type;
    record->data.assign(bytes.begin() + 4, bytes.begin() + 4 + length);
    return true;
}

} // namespace intelhex

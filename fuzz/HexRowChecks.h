// Properties of the Intel-HEX row check: accepted rows re-encode to themselves, built rows pass.
#pragma once
#include <cctype>
#include <cstdint>
#include <string>

#include "update/HexRecord.h"

namespace fuzzing {

inline std::string EncodeHexRow(const intelhex::HexRecord& r, bool lowerCase) {
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string row = ":";
    unsigned sum = 0;
    auto put = [&](std::uint8_t b) {
        row.push_back(digits[b >> 4]);
        row.push_back(digits[b & 15]);
        sum += b;
    };
    put(r.length);
    put(static_cast<std::uint8_t>(r.address >> 8));
    put(static_cast<std::uint8_t>(r.address & 0xFF));
    put(r.type);
    for (std::uint8_t b : r.data) {
        put(b);
    }
    put(static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
    return row;
}

inline std::string Upper(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

// The length each record type must have; -1 for any.
inline int LengthForType(std::uint8_t type) {
    switch (type) {
    case intelhex::kEndOfFile:
        return 0;
    case intelhex::kExtendedSegmentAddress:
    case intelhex::kExtendedLinearAddress:
        return 2;
    case intelhex::kStartSegmentAddress:
    case intelhex::kStartLinearAddress:
        return 4;
    default:
        return -1;
    }
}

// The row as given: when it is accepted, the record must re-encode to the same row (up to the
// case of its hex digits), its bytes must sum to 0 modulo 256, and its length must match the row
// and its type. Empty when all hold.
inline std::string CheckAcceptedRow(const std::string& row) {
    intelhex::HexRecord record;
    if (!intelhex::ParseHexRecord(row, &record)) {
        return "";
    }
    if (row.empty() || row[0] != ':') {
        return "accepted a row that does not begin with a colon";
    }
    if (record.type > intelhex::kStartLinearAddress) {
        return "accepted an unknown record type " + std::to_string(record.type);
    }
    if (record.data.size() != record.length) {
        return "data holds " + std::to_string(record.data.size()) + " bytes, length says " +
               std::to_string(record.length);
    }
    if (row.size() != 11 + 2 * static_cast<std::size_t>(record.length)) {
        return "row of " + std::to_string(row.size()) + " characters for length " +
               std::to_string(record.length);
    }
    const int required = LengthForType(record.type);
    if (required >= 0 && required != record.length) {
        return "type " + std::to_string(record.type) + " accepted with length " +
               std::to_string(record.length);
    }
    if (EncodeHexRow(record, false) != Upper(row)) {
        return "re-encodes to " + EncodeHexRow(record, false) + ", not " + row;
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < row.size(); i += 2) {
        sum += static_cast<unsigned>(std::stoul(row.substr(i, 2), nullptr, 16));
    }
    if ((sum & 0xFF) != 0) {
        return "accepted a row whose bytes sum to " + std::to_string(sum & 0xFF);
    }
    return "";
}

// A record built from the bytes (type, address, data, digit case) must be accepted as it was
// built, and a single digit changed must make it refused (the checksum sees every digit).
inline std::string CheckBuiltRow(const std::string& bytes) {
    if (bytes.size() < 4) {
        return "";
    }
    intelhex::HexRecord built;
    built.type = static_cast<std::uint8_t>(static_cast<unsigned char>(bytes[0]) % 6);
    built.address = static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[1]) << 8) |
                                               static_cast<unsigned char>(bytes[2]));
    const bool lowerCase = (static_cast<unsigned char>(bytes[3]) & 1) != 0;
    std::size_t available = bytes.size() - 4;
    const int required = LengthForType(built.type);
    std::size_t length = available > 255 ? 255 : available;
    if (required >= 0) {
        if (available < static_cast<std::size_t>(required)) {
            return "";
        }
        length = static_cast<std::size_t>(required);
    }
    built.length = static_cast<std::uint8_t>(length);
    built.data.assign(bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(length));
    const std::string row = EncodeHexRow(built, lowerCase);

    intelhex::HexRecord parsed;
    if (!intelhex::ParseHexRecord(row, &parsed)) {
        return "refused a well-formed row " + row;
    }
    if (parsed.length != built.length || parsed.address != built.address ||
        parsed.type != built.type || parsed.data != built.data) {
        return "parsed " + row + " into other fields";
    }
    // Change one digit, chosen by the row's own bytes, to another hex digit.
    const std::size_t at = 1 + (static_cast<unsigned char>(bytes[3]) >> 1) % (row.size() - 1);
    std::string damaged = row;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(damaged[at])));
    damaged[at] = c == '0' ? '1' : '0';
    if (intelhex::ParseHexRecord(damaged, &parsed)) {
        return "accepted " + damaged + " with one digit changed from " + row;
    }
    return "";
}

} // namespace fuzzing

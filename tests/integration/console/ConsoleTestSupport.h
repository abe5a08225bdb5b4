// Helpers of the console's tests: HEX files, and what a stream received.
#pragma once
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/HexImage.h"
#include "update/HexRecord.h"

namespace consoletest {

// For its scope the test's process takes a UTF-8 character set, as a user's terminal has: the
// console's output then spells the ellipsis "…".
class Utf8Locale {
public:
    Utf8Locale() { std::setlocale(LC_CTYPE, "C.UTF-8"); }
    ~Utf8Locale() { std::setlocale(LC_CTYPE, "C"); }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;
};

// A HEX file of dataRows 16-byte data records and the end-of-file record, CR LF line ends.
inline std::string HexFile(int dataRows) {
    std::string text;
    for (int r = 0; r < dataRows; ++r) {
        std::vector<std::uint8_t> data(16);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>((r * 31 + static_cast<int>(i) * 7 + 5) & 0xFF);
        }
        text += sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

// What a file stream received, read back whole.
inline std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

} // namespace consoletest

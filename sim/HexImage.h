// The device's flashed memory as a sparse image, and its conversions to and from Intel-HEX text.
#pragma once
#include "update/HexRecord.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

// Address -> byte, for every byte that a HEX file or a transfer has written.
using Image = std::map<std::uint32_t, std::uint8_t>;

// Places records in an image the way a loader does: extended linear address records set the
// upper 16 address bits; extended segment address records set a base of 16 times their value,
// within which a record's offsets wrap at 64 KiB. The latest address record wins.
class HexAddressing {
public:
    void reset() {
        m_base = 0;
        m_segmented = false;
    }
    // The absolute address of byte i of a data record at the given offset.
    std::uint32_t addressOf(std::uint16_t offset, std::size_t i) const;
    // Applies one parsed record: data records write their bytes into image, address records
    // change the base; start address and end-of-file records change nothing here.
    void apply(const intelhex::HexRecord& record, Image* image);

private:
    std::uint32_t m_base = 0;
    bool m_segmented = false;
};

// Builds one row, without line end, with its length and checksum filled in.
std::string MakeHexRow(std::uint8_t type, std::uint16_t address,
                       const std::vector<std::uint8_t>& data);

// Parses the text of a HEX file (line feed or carriage return and line feed line ends; blank
// lines are skipped; reading stops at the end-of-file record) into the image its data records
// describe. False, with a reason naming the line, when a row is malformed.
bool ImageFromHexText(const std::string& text, Image* image, std::string* error);
// The same for a file on disk (at most 64 MiB); false also when it cannot be read.
bool ImageFromHexFile(const std::string& path, Image* image, std::string* error);

// The image as Intel HEX with carriage return and line feed line ends: records of up to 16
// bytes that never cross a gap or a 64 KiB boundary, an extended linear address record before
// each 64 KiB page other than the first page 0, and the end-of-file record.
std::string ImageToHex(const Image& image);
// The image as raw bytes from its lowest to its highest address, gaps filled with fill. False
// when the span exceeds maxSpan bytes. An empty image gives no bytes.
bool ImageToRaw(const Image& image, std::string* bytes, std::uint8_t fill = 0xFF,
                std::size_t maxSpan = 16u << 20);

// Empty when both images hold the same bytes at the same addresses; otherwise a short account
// of the sizes and of the first differences (at most maxItems), for test failure messages.
std::string DescribeImageDifference(const Image& actual, const Image& expected,
                                    std::size_t maxItems = 8);

} // namespace sim

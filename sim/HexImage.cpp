// Sparse flash image: placing HEX records, reading HEX files, writing HEX and raw images.
#include "sim/HexImage.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {

std::uint32_t HexAddressing::addressOf(std::uint16_t offset, std::size_t i) const {
    if (m_segmented) {
        const auto inSegment = static_cast<std::uint16_t>(offset + i);
        return m_base + inSegment;
    }
    return m_base + offset + static_cast<std::uint32_t>(i);
}

void HexAddressing::apply(const intelhex::HexRecord& record, Image* image) {
    switch (record.type) {
    case intelhex::kData:
        for (std::size_t i = 0; i < record.data.size(); ++i) {
            (*image)[addressOf(record.address, i)] = record.data[i];
        }
        break;
    case intelhex::kExtendedLinearAddress:
        if (record.data.size() == 2) {
            m_base = static_cast<std::uint32_t>((record.data[0] << 8) | record.data[1]) << 16;
            m_segmented = false;
        }
        break;
    case intelhex::kExtendedSegmentAddress:
        if (record.data.size() == 2) {
            m_base = static_cast<std::uint32_t>((record.data[0] << 8) | record.data[1]) << 4;
            m_segmented = true;
        }
        break;
    default:
        break;
    }
}

std::string MakeHexRow(std::uint8_t type, std::uint16_t address,
                       const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(data.size()));
    bytes.push_back(static_cast<std::uint8_t>(address >> 8));
    bytes.push_back(static_cast<std::uint8_t>(address & 0xFF));
    bytes.push_back(type);
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    bytes.push_back(static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
    static const char kDigits[] = "0123456789ABCDEF";
    std::string row = ":";
    for (std::uint8_t b : bytes) {
        row += kDigits[b >> 4];
        row += kDigits[b & 0xF];
    }
    return row;
}

bool ImageFromHexText(const std::string& text, Image* image, std::string* error) {
    Image result;
    HexAddressing addressing;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        intelhex::HexRecord record;
        if (!intelhex::ParseHexRecord(line, &record)) {
            if (error != nullptr) {
                *error = "line " + std::to_string(lineNumber) +
                         " is not a valid record: " + line.substr(0, 80);
            }
            return false;
        }
        if (record.type == intelhex::kEndOfFile) {
            break;
        }
        addressing.apply(record, &result);
    }
    *image = std::move(result);
    return true;
}

bool ImageFromHexFile(const std::string& path, Image* image, std::string* error) {
    constexpr std::streamoff kMaxFileBytes = 64 << 20;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) {
            *error = "cannot open " + path;
        }
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileBytes) {
        if (error != nullptr) {
            *error = path + " is larger than 64 MiB";
        }
        return false;
    }
    in.seekg(0, std::ios::beg);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(&text[0], size)) {
        if (error != nullptr) {
            *error = "cannot read " + path;
        }
        return false;
    }
    return ImageFromHexText(text, image, error);
}

std::string ImageToHex(const Image& image) {
    constexpr std::size_t kRecordBytes = 16;
    std::string out;
    std::uint32_t page = 0;
    auto it = image.begin();
    while (it != image.end()) {
        const std::uint32_t start = it->first;
        if ((start >> 16) != page) {
            page = start >> 16;
            out += MakeHexRow(
                intelhex::kExtendedLinearAddress, 0,
                {static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page & 0xFF)});
            out += "\r\n";
        }
        std::vector<std::uint8_t> data;
        std::uint32_t next = start;
        while (it != image.end() && it->first == next && data.size() < kRecordBytes &&
               (it->first >> 16) == page) {
            data.push_back(it->second);
            ++it;
            ++next;
            if (next == 0) {
                break; // the top of the address space
            }
        }
        out += MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(start & 0xFFFF), data);
        out += "\r\n";
    }
    out += MakeHexRow(intelhex::kEndOfFile, 0, {});
    out += "\r\n";
    return out;
}

bool ImageToRaw(const Image& image, std::string* bytes, std::uint8_t fill, std::size_t maxSpan) {
    bytes->clear();
    if (image.empty()) {
        return true;
    }
    const std::uint64_t low = image.begin()->first;
    const std::uint64_t high = image.rbegin()->first;
    const std::uint64_t span = high - low + 1;
    if (span > maxSpan) {
        return false;
    }
    bytes->assign(static_cast<std::size_t>(span), static_cast<char>(fill));
    for (const auto& [address, value] : image) {
        (*bytes)[static_cast<std::size_t>(address - low)] = static_cast<char>(value);
    }
    return true;
}

std::string DescribeImageDifference(const Image& actual, const Image& expected,
                                    std::size_t maxItems) {
    if (actual == expected) {
        return std::string();
    }
    std::ostringstream out;
    out << "image holds " << actual.size() << " bytes, expected " << expected.size() << ";";
    std::size_t items = 0;
    char buffer[96];
    auto a = actual.begin();
    auto e = expected.begin();
    while ((a != actual.end() || e != expected.end()) && items < maxItems) {
        if (e == expected.end() || (a != actual.end() && a->first < e->first)) {
            std::snprintf(buffer, sizeof buffer, " extra %08X=%02X;", a->first, a->second);
            ++a;
        } else if (a == actual.end() || e->first < a->first) {
            std::snprintf(buffer, sizeof buffer, " missing %08X (expected %02X);", e->first,
                          e->second);
            ++e;
        } else {
            if (a->second == e->second) {
                ++a;
                ++e;
                continue;
            }
            std::snprintf(buffer, sizeof buffer, " at %08X %02X, expected %02X;", a->first,
                          a->second, e->second);
            ++a;
            ++e;
        }
        out << buffer;
        ++items;
    }
    return out.str();
}

} // namespace sim

// Device instance ids read for their USB ids and serial number.
#include "serial/UsbInstanceId.h"

#include <cctype>
#include <vector>

namespace serial {

namespace {

std::string Upper(const std::string& text) {
    std::string upper;
    for (const char c : text) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// The four hex digits after the key ("VID_"), lower-case; empty when there are none.
std::string IdAfter(const std::string& upper, const std::string& key) {
    const std::string::size_type at = upper.find(key);
    if (at == std::string::npos || at + key.size() + 4 > upper.size()) {
        return std::string();
    }
    return UsbIdFromHex(upper.substr(at + key.size(), 4));
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type at = 0;
    for (;;) {
        const std::string::size_type end = text.find(separator, at);
        parts.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) {
            return parts;
        }
        at = end + 1;
    }
}

} // namespace

std::string UsbIdFromHex(const std::string& text) {
    if (text.empty() || text.size() > 4) {
        return std::string();
    }
    std::string id(4 - text.size(), '0');
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::string();
        }
        id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return id;
}

bool UsbIdsFromInstanceId(const std::string& instanceId, UsbIds* ids) {
    *ids = UsbIds();
    const std::string upper = Upper(instanceId.substr(0, 512));
    ids->vendorId = IdAfter(upper, "VID_");
    if (ids->vendorId.empty()) {
        return false;
    }
    ids->productId = IdAfter(upper, "PID_");
    const std::vector<std::string> parts = Split(instanceId.substr(0, 512), '\\');
    if (parts.size() == 3 && Upper(parts[0]) == "USB" &&
        Upper(parts[1]).find("&MI_") == std::string::npos &&
        parts[2].find('&') == std::string::npos) {
        ids->serialNumber = parts[2];
    } else if (parts.size() >= 2 && Upper(parts[0]) == "FTDIBUS") {
        const std::vector<std::string> fields = Split(parts[1], '+');
        if (fields.size() == 3 && fields[2].size() > 1) {
            ids->serialNumber = fields[2].substr(0, fields[2].size() - 1);
        }
    }
    return true;
}

} // namespace serial

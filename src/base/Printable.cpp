// Escaping and naming of bytes for people.
#include "base/Printable.h"

#include <cstdio>

namespace base {

namespace {

// The ASCII control characters' names, 0x00 to 0x1F.
const char* const kControlNames[32] = {"NUL", "SOH", "STX", "ETX",  "EOT", "ENQ", "ACK", "BEL",
                                       "BS",  "TAB", "LF",  "VT",   "FF",  "CR",  "SO",  "SI",
                                       "DLE", "XON", "DC2", "XOFF", "DC4", "NAK", "SYN", "ETB",
                                       "CAN", "EM",  "SUB", "ESC",  "FS",  "GS",  "RS",  "US"};

std::string Hex(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

} // namespace

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
    }
    return out;
}

std::string Quoted(const std::string& bytes) {
    return "\"" + Escaped(bytes) + "\"";
}

std::string CharacterName(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20) {
        return std::string(kControlNames[c]) + " (" + Hex(c) + ")";
    }
    if (c == 0x7F) {
        return "DEL (0x7F)";
    }
    if (c == '@') {
        return "the at sign (0x40)";
    }
    if (c == ' ') {
        return "a blank (0x20)";
    }
    if (c < 0x7F) {
        return Quoted(std::string(1, ch)) + " (" + Hex(c) + ")";
    }
    return Hex(c);
}

} // namespace base

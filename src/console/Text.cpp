// Escaping, naming and measuring text for the console and the trace.
#include "console/Text.h"

#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <langinfo.h>
#endif

namespace console {

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

bool StartsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

} // namespace

std::string Quoted(const std::string& bytes) {
    return "\"" + Escaped(bytes) + "\"";
}

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

int Columns(const std::string& text) {
    int n = 0;
    for (const char c : text) {
        n += StartsCharacter(c) ? 1 : 0;
    }
    return n;
}

std::string Fitted(const std::string& text, int columns) {
    std::string out;
    int used = 0;
    for (const char c : text) {
        if (StartsCharacter(c) && used == columns) {
            break;
        }
        used += StartsCharacter(c) ? 1 : 0;
        out += c;
    }
    return used < columns ? out + std::string(static_cast<std::size_t>(columns - used), ' ') : out;
}

std::string PaddedRight(const std::string& text, int columns) {
    const int have = Columns(text);
    return have < columns ? text + std::string(static_cast<std::size_t>(columns - have), ' ')
                          : text;
}

std::string Wrapped(const std::string& text, int columns) {
    if (columns <= 0) {
        return text;
    }
    std::string out;
    int used = 0;
    std::string::size_type at = 0;
    while (at <= text.size()) {
        std::string::size_type end = text.find_first_of(" \n", at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string word = text.substr(at, end - at);
        const int length = Columns(word);
        if (used > 0 && used + 1 + length > columns - 1) {
            out += '\n';
            used = 0;
        } else if (used > 0) {
            out += ' ';
            used++;
        }
        out += word;
        used += length;
        if (end < text.size() && text[end] == '\n') {
            out += '\n';
            used = 0;
        }
        at = end + 1;
    }
    return out;
}

const char* Ellipsis() {
#ifdef _WIN32
    return "..."; // the console's code page may have no ellipsis
#else
    // The locale's character set, as the program's start took it from the environment.
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0 ? "\xE2\x80\xA6" : "...";
#endif
}

} // namespace console

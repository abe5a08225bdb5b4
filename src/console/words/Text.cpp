// Measuring, fitting and wrapping text for the console.
#include "console/words/Text.h"

#include <cstring>

#ifndef _WIN32
#include <langinfo.h>
#endif

namespace console {

namespace {

bool StartsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

} // namespace

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

std::string FieldsFitted(const std::vector<std::string>& fields, int columns) {
    std::string line;
    for (const std::string& field : fields) {
        const std::string longer = line.empty() ? field : line + "  " + field;
        if (Columns(longer) > columns) {
            break;
        }
        line = longer;
    }
    return Fitted(line, columns);
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

// COM port names.
#include "serial/ComName.h"

#include <cctype>

namespace serial {

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

int ComNumberFromText(const std::string& text) {
    std::string digits = text;
    if (StartsWithNoCase(text, "\\\\.\\COM")) {
        digits = text.substr(7);
    } else if (StartsWithNoCase(text, "COM")) {
        digits = text.substr(3);
    }
    if (digits.empty() || digits.size() > 4 || digits[0] == '0') {
        return 0;
    }
    int n = 0;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return 0;
        }
        n = n * 10 + (c - '0');
    }
    return n <= kLastComNumber ? n : 0;
}

std::string ComName(int number) {
    return "COM" + std::to_string(number);
}

} // namespace serial

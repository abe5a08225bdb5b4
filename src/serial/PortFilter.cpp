// Filters of ports: parsed once, then asked of each port listed.
#include "serial/PortFilter.h"

#include <cctype>

#include "serial/UsbInstanceId.h"

namespace serial {

namespace {

constexpr std::size_t kLongestValue = 256;

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// "0403", "403", "0x0403" -> "0403"; false when it is not a 16-bit hex number.
bool ParseId(std::string text, std::string* id) {
    if (text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x') {
        text = text.substr(2);
    }
    *id = UsbIdFromHex(text);
    return !id->empty();
}

std::string LastPart(const std::string& name) {
    const std::string::size_type slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool NameMatches(const std::string& pattern, const std::string& name) {
    return !name.empty() &&
           (MatchesPattern(pattern, name) || MatchesPattern(pattern, LastPart(name)));
}

} // namespace

bool MatchesPattern(const std::string& pattern, const std::string& text) {
    // The greedy walk with one point to go back to: linear in practice, never exponential.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool PortFilter::Parse(const std::string& text, PortFilter* filter, std::string* error) {
    *filter = PortFilter();
    filter->m_text = text;
    const std::string where = "--port-filter " + text + ": ";
    if (text.empty()) {
        *error = "--port-filter needs a filter, such as vid=0403 or name=ttyUSB*";
        return false;
    }
    std::string::size_type at = 0;
    while (at <= text.size()) {
        std::string::size_type end = text.find(',', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part = text.substr(at, end - at);
        at = end + 1;
        const std::string::size_type equals = part.find('=');
        if (equals == std::string::npos || equals == 0) {
            *error = where + "\"" + part + "\" is not KEY=VALUE (keys: vid, pid, serial, name)";
            return false;
        }
        std::string key = part.substr(0, equals);
        for (char& c : key) {
            c = Lower(c);
        }
        const std::string value = part.substr(equals + 1);
        if (value.empty() || value.size() > kLongestValue) {
            *error = where + key + " needs a value of 1 to " + std::to_string(kLongestValue) +
                     " characters";
            return false;
        }
        std::string* into = key == "vid"      ? &filter->m_vendorId
                            : key == "pid"    ? &filter->m_productId
                            : key == "serial" ? &filter->m_serialNumber
                            : key == "name"   ? &filter->m_namePattern
                                              : nullptr;
        if (into == nullptr) {
            *error = where + "unknown key \"" + key + "\" (keys: vid, pid, serial, name)";
            return false;
        }
        if (!into->empty()) {
            *error = where + key + " is given twice";
            return false;
        }
        if (key == "vid" || key == "pid") {
            if (!ParseId(value, into)) {
                *error = where + "a USB " + (key == "vid" ? "vendor" : "product") +
                         " id is up to four hex digits, such as " +
                         (key == "vid" ? "0403" : "6001") + ", not \"" + value + "\"";
                return false;
            }
        } else {
            *into = value;
        }
    }
    return true;
}

bool PortFilter::passes(const PortInfo& port) const {
    if (!m_vendorId.empty() && port.vendorId != m_vendorId) {
        return false;
    }
    if (!m_productId.empty() && port.productId != m_productId) {
        return false;
    }
    if (!m_serialNumber.empty() && !SameIgnoringCase(port.serialNumber, m_serialNumber)) {
        return false;
    }
    if (!m_namePattern.empty() && !NameMatches(m_namePattern, port.name) &&
        !NameMatches(m_namePattern, port.alias)) {
        return false;
    }
    return true;
}

bool PassesAny(const std::vector<PortFilter>& filters, const PortInfo& port) {
    if (filters.empty()) {
        return true;
    }
    for (const PortFilter& f : filters) {
        if (f.passes(port)) {
            return true;
        }
    }
    return false;
}

std::vector<PortInfo> Filtered(const std::vector<PortFilter>& filters,
                               const std::vector<PortInfo>& ports) {
    std::vector<PortInfo> passed;
    for (const PortInfo& p : ports) {
        if (PassesAny(filters, p)) {
            passed.push_back(p);
        }
    }
    return passed;
}

} // namespace serial

// The program-directory rule, on whole multibyte characters.
#include "app/ProgramDir.h"

#include "fw/Mbcs.h"

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Position of the first single-byte character c at or after from, skipping double-byte
// characters whole; npos when there is none.
std::size_t FindChar(const std::string& s, std::size_t from, char c, LeadByteTest isLead) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (isLead(static_cast<unsigned char>(s[i]))) {
            ++i; // the trail byte belongs to this character
            continue;
        }
        if (s[i] == c) {
            return i;
        }
    }
    return std::string::npos;
}

std::size_t FindLastChar(const std::string& s, char c, LeadByteTest isLead) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (isLead(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] == c) {
            last = i;
        }
    }
    return last;
}

bool SystemLeadByte(unsigned char byte) {
    return fw::IsDbcsLeadByte(byte);
}

} // namespace

std::string ProgramDirFromCommandLine(const std::string& commandLine) {
    return ProgramDirFromCommandLine(commandLine, &SystemLeadByte);
}

std::string ProgramDirFromCommandLine(const std::string& commandLine, LeadByteTest isLeadByte) {
    std::string s = commandLine;
    std::string path;
    if (!s.empty() && s[0] == '"') {
        s[0] = ' ';
        std::size_t start = 0;
        while (start < s.size() && IsWhiteSpace(s[start])) {
            ++start;
        }
        const std::size_t quote = FindChar(s, start, '"', isLeadByte);
        if (quote != std::string::npos) {
            path = s.substr(start, quote - start);
        }
    } else {
        const std::size_t blank = FindChar(s, 0, ' ', isLeadByte);
        path = blank == std::string::npos ? s : s.substr(0, blank);
    }
    const std::size_t backslash = FindLastChar(path, '\\', isLeadByte);
    return backslash == std::string::npos ? std::string() : path.substr(0, backslash + 1);
}

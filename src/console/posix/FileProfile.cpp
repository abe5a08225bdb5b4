// The settings file: read and rewritten whole, one "[Section]" and "Entry=value" line at a time.
#include "console/posix/FileProfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace console {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::size_t total = 0;
    while (total < kMaxFileBytes && std::getline(in, line)) {
        total += line.size() + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string Trim(const std::string& text) {
    const std::string::size_type first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    const std::string::size_type last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool IsSection(const std::string& line, std::string* name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') {
        return false;
    }
    *name = Trim(t.substr(1, t.size() - 2));
    return true;
}

bool IsEntry(const std::string& line, const std::string& entry, std::string* value) {
    const std::string::size_type eq = line.find('=');
    if (eq == std::string::npos || Trim(line.substr(0, eq)) != entry) {
        return false;
    }
    *value = Trim(line.substr(eq + 1));
    return true;
}

// Creates every missing folder of the path's parent; true when the parent exists afterwards.
bool MakeParentFolders(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return true;
    }
    const std::string parent = path.substr(0, slash);
    struct stat st;
    if (::stat(parent.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    if (!MakeParentFolders(parent)) {
        return false;
    }
    return ::mkdir(parent.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

int FileProfile::getProfileInt(const std::string& section, const std::string& entry,
                               int defaultValue) {
    std::string current;
    for (const std::string& line : ReadLines(m_path)) {
        std::string name;
        std::string value;
        if (IsSection(line, &name)) {
            current = name;
        } else if (current == section && IsEntry(line, entry, &value)) {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || n < -2147483647L - 1 ||
                n > 2147483647L) {
                return defaultValue;
            }
            return static_cast<int>(n);
        }
    }
    return defaultValue;
}

bool FileProfile::writeProfileInt(const std::string& section, const std::string& entry, int value) {
    if (m_path.empty() || !MakeParentFolders(m_path)) {
        return false;
    }
    std::vector<std::string> lines = ReadLines(m_path);
    const std::string newLine = entry + "=" + std::to_string(value);
    std::string current;
    bool written = false;
    std::size_t sectionEnd = lines.size();
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        std::string name;
        std::string old;
        if (IsSection(lines[i], &name)) {
            if (sectionFound) {
                sectionEnd = i;
                break;
            }
            current = name;
            sectionFound = current == section;
        } else if (current == section && IsEntry(lines[i], entry, &old)) {
            lines[i] = newLine;
            written = true;
        }
    }
    if (!written) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), newLine);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(newLine);
        }
    }
    const std::string temporary = m_path + ".new";
    {
        std::ofstream outFile(temporary, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) {
            outFile << line << '\n';
        }
        outFile.flush();
        if (!outFile) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), m_path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string FileProfile::DefaultPath() {
    const char* given = std::getenv("KEYSTRAND_UPDATE_SETTINGS");
    if (given != nullptr && *given != '\0') {
        return given;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/keystrand-update/settings";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return std::string(home) + "/.config/keystrand-update/settings";
    }
    return std::string();
}

} // namespace console

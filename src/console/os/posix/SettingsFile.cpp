// The settings file: one section, one entry.
#include "console/os/posix/SettingsFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace console {

namespace {

constexpr char kSection[] = "[Settings]";
constexpr char kEntry[] = "Port=";
constexpr std::size_t kMaxLines = 1000;

// Creates every missing folder of the path's parent; true when the parent exists afterwards.
bool MakeParentFolders(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return true;
    }
    const std::string parent = path.substr(0, slash);
    struct stat st {};
    if (::stat(parent.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    return MakeParentFolders(parent) && (::mkdir(parent.c_str(), 0700) == 0 || errno == EEXIST);
}

} // namespace

std::string SettingsFile::port() const {
    std::ifstream in(m_path, std::ios::binary);
    std::string line;
    bool inSection = false;
    for (std::size_t n = 0; n < kMaxLines && std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '[') {
            inSection = line == kSection;
        } else if (inSection && line.compare(0, sizeof kEntry - 1, kEntry) == 0) {
            return line.substr(sizeof kEntry - 1);
        }
    }
    return std::string();
}

bool SettingsFile::setPort(const std::string& port) const {
    if (m_path.empty() || port.find_first_of("\r\n") != std::string::npos ||
        !MakeParentFolders(m_path)) {
        return false;
    }
    const std::string temporary = m_path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << kSection << '\n' << kEntry << port << '\n';
        out.flush();
        if (!out) {
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

std::string SettingsFile::DefaultPath() {
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

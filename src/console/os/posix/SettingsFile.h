// console::SettingsFile: the remembered port on Linux, kept in a small per-user text file.
#pragma once
#include <string>

namespace console {

// The file reads "[Settings]" and "Port=<path>": the port of the last successful update.
class SettingsFile {
public:
    explicit SettingsFile(std::string path) : m_path(std::move(path)) {}

    // The remembered port; empty when the file, the entry or its value is missing.
    std::string port() const;
    // Rewrites the file through a temporary file beside it, making its folders when missing.
    // False when that fails, or when the port's name cannot be written on one line.
    bool setPort(const std::string& port) const;

    const std::string& path() const { return m_path; }

    // $KEYSTRAND_UPDATE_SETTINGS, else $XDG_CONFIG_HOME/keystrand-update/settings, else
    // $HOME/.config/keystrand-update/settings; "" when none of these can be formed.
    static std::string DefaultPath();

private:
    std::string m_path;
};

} // namespace console

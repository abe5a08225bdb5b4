// console::FileProfile: the per-user settings kept in a small text file on the host.
#pragma once
#include <string>

#include "fw/Profile.h"

namespace console {

// The file holds sections of entries as "[Section]" and "Entry=value" lines, the same names the
// Windows registry profile uses. Reads of a missing file, section or entry, or of a value that
// is not a whole number, give the default. A write rewrites the whole file through a temporary
// file beside it, creating the file's folder (and the folders above it) when missing.
class FileProfile : public fw::Profile {
public:
    explicit FileProfile(std::string path) : m_path(std::move(path)) {}

    // The root has no place in the file: one file belongs to one program.
    void setRegistryKey(const std::string&, const std::string&) override {}
    int getProfileInt(const std::string& section, const std::string& entry,
                      int defaultValue) override;
    bool writeProfileInt(const std::string& section, const std::string& entry, int value) override;

    const std::string& path() const { return m_path; }

    // The settings file for this user: $KEYSTRAND_UPDATE_SETTINGS, else
    // $XDG_CONFIG_HOME/keystrand-update/settings, else $HOME/.config/keystrand-update/settings;
    // "" when none of these can be formed.
    static std::string DefaultPath();

private:
    std::string m_path;
};

} // namespace console

// fw::win32::WinProfile: the per-user settings in the registry under the maker's key.
#pragma once
#include <string>

#include "fw/Profile.h"
#include "fw/WinTypes.h"

namespace fw::win32 {

// Values live in HKEY_CURRENT_USER\software\<company>\<application>\<section> as REG_DWORD.
// Reading and writing both create the keys when they are missing, as the framework does.
// Until a company is given there is no place for settings: reads give the default and writes
// fail.
class WinProfile : public Profile {
public:
    void setRegistryKey(const std::string& company, const std::string& appName) override;
    int getProfileInt(const std::string& section, const std::string& entry,
                      int defaultValue) override;
    bool writeProfileInt(const std::string& section, const std::string& entry, int value) override;

private:
    // The section's key, created when missing; null when it cannot be opened.
    HKEY OpenSectionKey(const std::string& section);

    std::string m_company;
    std::string m_appName;
};

} // namespace fw::win32

// The profile seam: the per-user settings that the application object reads and writes.
#pragma once
#include <string>

namespace fw {

class Profile {
public:
    virtual ~Profile() = default;
    // Roots the settings under HKCU\software\<company>\<application name>.
    virtual void setRegistryKey(const std::string& company, const std::string& appName) = 0;
    virtual int getProfileInt(const std::string& section, const std::string& entry,
                              int defaultValue) = 0;
    // TRUE when the value was stored.
    virtual bool writeProfileInt(const std::string& section, const std::string& entry,
                                 int value) = 0;
};

} // namespace fw

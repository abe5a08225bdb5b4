// fw::win32::WinProfile: REG_DWORD settings below HKEY_CURRENT_USER\software\<company>\<app>.
#include "fw/win32/WinProfile.h"

namespace fw::win32 {

namespace {

// Opens or creates one key below a parent for reading and writing; null on failure.
HKEY CreateKey(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

void WinProfile::setRegistryKey(const std::string& company, const std::string& appName) {
    m_company = company;
    m_appName = appName;
}

// One level at a time: software, the company, the application, the section.
HKEY WinProfile::OpenSectionKey(const std::string& section) {
    if (m_company.empty() || m_appName.empty() || section.empty()) {
        return nullptr;
    }
    const std::string path[] = {"software", m_company, m_appName, section};
    HKEY key = HKEY_CURRENT_USER;
    for (const std::string& name : path) {
        HKEY child = CreateKey(key, name);
        if (key != HKEY_CURRENT_USER) {
            ::RegCloseKey(key);
        }
        if (child == nullptr) {
            return nullptr;
        }
        key = child;
    }
    return key;
}

int WinProfile::getProfileInt(const std::string& section, const std::string& entry,
                              int defaultValue) {
    HKEY key = OpenSectionKey(section);
    if (key == nullptr) {
        return defaultValue;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG status = ::RegQueryValueExA(key, entry.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
        return defaultValue;
    }
    return static_cast<int>(value);
}

bool WinProfile::writeProfileInt(const std::string& section, const std::string& entry, int value) {
    HKEY key = OpenSectionKey(section);
    if (key == nullptr) {
        return false;
    }
    const DWORD data = static_cast<DWORD>(value);
    const LONG status = ::RegSetValueExA(key, entry.c_str(), 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&data), sizeof(data));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

} // namespace fw::win32

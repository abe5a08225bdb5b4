// The per-user settings held in memory, as the registry would hold them.
#pragma once
#include <map>
#include <string>

#include "fw/Profile.h"

namespace fw::host {

class MemoryProfile : public Profile {
public:
    void setRegistryKey(const std::string& company, const std::string& appName) override {
        m_root = "software\\" + company + "\\" + appName;
    }
    int getProfileInt(const std::string& section, const std::string& entry,
                      int defaultValue) override {
        const auto it = m_values.find(key(section, entry));
        return it == m_values.end() ? defaultValue : it->second;
    }
    bool writeProfileInt(const std::string& section, const std::string& entry, int value) override {
        m_values[key(section, entry)] = value;
        m_writes++;
        return true;
    }

    // The full key path of a value, e.g. software\Fenmoor Systems\upd\Settings\ComPort.
    std::string key(const std::string& section, const std::string& entry) const {
        return m_root + "\\" + section + "\\" + entry;
    }
    const std::string& root() const { return m_root; }
    bool has(const std::string& section, const std::string& entry) const {
        return m_values.count(key(section, entry)) != 0;
    }
    int writes() const { return m_writes; }

private:
    std::string m_root;
    std::map<std::string, int> m_values;
    int m_writes = 0;
};

} // namespace fw::host

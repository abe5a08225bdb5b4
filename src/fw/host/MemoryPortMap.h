// The machine's serial-port map held in memory, enumerated with the registry's buffer rules.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "fw/PortMap.h"

namespace fw::host {

class MemoryPortMap : public PortMap {
public:
    struct Value {
        std::string name;
        std::string data;
    };

    // Whether the map's key exists at all.
    bool present = true;
    std::vector<Value> values;
    int opens = 0;
    int closes = 0;

    void add(const std::string& name, const std::string& data) { values.push_back({name, data}); }

    LONG open(HKEY* key) override {
        if (!present) {
            return ERROR_FILE_NOT_FOUND;
        }
        opens++;
        *key = reinterpret_cast<HKEY>(this);
        return ERROR_SUCCESS;
    }

    LONG enumValue(HKEY, DWORD index, char* name, DWORD* nameSize, DWORD* type, BYTE* data,
                   DWORD* dataSize) override {
        if (index >= values.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        const Value& v = values[index];
        const DWORD nameNeeded = static_cast<DWORD>(v.name.size() + 1);
        const DWORD dataNeeded = static_cast<DWORD>(v.data.size() + 1);
        if (nameNeeded > *nameSize || (data != nullptr && dataNeeded > *dataSize)) {
            return ERROR_MORE_DATA;
        }
        std::memcpy(name, v.name.c_str(), nameNeeded);
        *nameSize = nameNeeded - 1;
        if (type != nullptr) {
            *type = REG_SZ;
        }
        if (data != nullptr) {
            std::memcpy(data, v.data.c_str(), dataNeeded);
            *dataSize = dataNeeded;
        }
        return ERROR_SUCCESS;
    }

    LONG close(HKEY) override {
        closes++;
        return ERROR_SUCCESS;
    }
};

} // namespace fw::host

// The serial-port map's values, walked.
#include "serial/PortMapWalk.h"

#include <vector>

namespace serial {

bool WalkPortMap(
    fw::PortMap& map, HKEY* key, DWORD nameChars, DWORD dataBytes,
    const std::function<void(const std::string& name, const std::string& data)>& visit) {
    if (map.open(key) != ERROR_SUCCESS) {
        *key = nullptr;
        return false;
    }
    std::vector<char> name(nameChars > 0 ? nameChars : 1);
    std::vector<BYTE> data(dataBytes > 0 ? dataBytes : 1);
    for (DWORD index = 0;; ++index) {
        name[0] = 0;
        data[0] = 0;
        DWORD nameSize = nameChars;
        DWORD dataSize = dataBytes;
        DWORD type = 0;
        if (map.enumValue(*key, index, name.data(), &nameSize, &type, data.data(), &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        // Neither text need end in a terminator when it fills its buffer exactly.
        std::string nameText;
        for (DWORD i = 0; i < nameSize && i < nameChars && name[i] != 0; ++i) {
            nameText += name[i];
        }
        std::string dataText;
        for (DWORD i = 0; i < dataSize && i < dataBytes && data[i] != 0; ++i) {
            dataText += static_cast<char>(data[i]);
        }
        visit(nameText, dataText);
    }
    if (*key != nullptr) {
        map.close(*key);
        *key = nullptr;
    }
    return true;
}

} // namespace serial

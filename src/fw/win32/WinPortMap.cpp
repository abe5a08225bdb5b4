// fw::win32::WinPortMap: RegOpenKeyExA, RegEnumValueA and RegCloseKey on the serial-port map.
#include "fw/win32/WinPortMap.h"

namespace fw::win32 {

LONG WinPortMap::open(HKEY* key) {
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SERIALCOMM", 0,
                           KEY_QUERY_VALUE, key);
}

LONG WinPortMap::enumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* type,
                           BYTE* data, DWORD* dataSize) {
    return ::RegEnumValueA(key, index, name, nameSize, nullptr, type, data, dataSize);
}

LONG WinPortMap::close(HKEY key) {
    return ::RegCloseKey(key);
}

} // namespace fw::win32

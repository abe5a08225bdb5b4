// The serial-port map seam: the values of HKLM\Hardware\DeviceMap\SERIALCOMM, read as the registry
// gives them.
#pragma once
#include "fw/WinTypes.h"

namespace fw {

class PortMap {
public:
    virtual ~PortMap() = default;
    // Opens the map for reading; ERROR_SUCCESS or an error code (no map on this machine).
    virtual LONG open(HKEY* key) = 0;
    // The value at index: its name into name (size in characters, updated to the length without
    // the terminator) and its data into data (size in bytes, updated to the bytes stored).
    // ERROR_NO_MORE_ITEMS after the last value, ERROR_MORE_DATA when a buffer is too small.
    virtual LONG enumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* type,
                           BYTE* data, DWORD* dataSize) = 0;
    virtual LONG close(HKEY key) = 0;
};

} // namespace fw

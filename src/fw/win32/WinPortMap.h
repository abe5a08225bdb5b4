// fw::win32::WinPortMap: the machine's serial-port map, read from the registry.
#pragma once
#include "fw/PortMap.h"

namespace fw::win32 {

// HKEY_LOCAL_MACHINE\Hardware\DeviceMap\SERIALCOMM, opened for reading its values only.
class WinPortMap : public PortMap {
public:
    LONG open(HKEY* key) override;
    LONG enumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* type, BYTE* data,
                   DWORD* dataSize) override;
    LONG close(HKEY key) override;
};

} // namespace fw::win32

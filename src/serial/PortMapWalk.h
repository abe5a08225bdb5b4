// The walk over the machine's serial-port map (on Windows HKLM\Hardware\DeviceMap\SERIALCOMM:
// device name = COM name), one definition for the dialog's port buttons and the console's list.
#pragma once
#include <functional>
#include <string>

#include "fw/PortMap.h"

namespace serial {

// Opens the map into *key and visits its values from index 0 upwards with name and data
// buffers of the given sizes (characters, bytes), until the first value that cannot be read:
// after the last one, or at one whose name or data does not fit; the values after that one are
// not seen. Each value's name and data (as text, ending at its first zero byte or at its size)
// go to visit. The key is closed and *key set to null at the end. False, with *key null, when
// the map cannot be opened.
bool WalkPortMap(
    fw::PortMap& map, HKEY* key, DWORD nameChars, DWORD dataBytes,
    const std::function<void(const std::string& name, const std::string& data)>& visit);

} // namespace serial

// The Ports class of the device manager, read through SetupAPI for the COM ports' USB facts.
#include "serial/win32/WinUsbPorts.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include "serial/ComName.h"
#include "serial/UsbInstanceId.h"

namespace serial::win32 {

namespace {

// GUID_DEVCLASS_PORTS: the device class of serial and parallel ports.
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The device's COM name ("COM3") from its registry key; empty when it has none.
std::string PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key =
        ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    char name[64] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const LONG read =
        ::RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ) {
        return std::string();
    }
    const int number = ComNumberFromText(name);
    return number > 0 ? ComName(number) : std::string();
}

std::string InstanceIdOf(DEVINST instance) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    return ::CM_Get_Device_IDA(instance, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS ? id : "";
}

} // namespace

void AddUsbFacts(std::vector<PortInfo>* ports) {
    if (ports->empty()) {
        return; // nothing to ask the device manager about
    }
    const HDEVINFO set = ::SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // Bounded: no machine has more ports than COM names.
    for (DWORD i = 0; i <= kLastComNumber && ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const std::string name = PortNameOf(set, device);
        PortInfo* port = nullptr;
        for (PortInfo& p : *ports) {
            port = p.name == name ? &p : port;
        }
        UsbIds ids;
        if (port == nullptr || !UsbIdsFromInstanceId(InstanceIdOf(device.DevInst), &ids)) {
            continue;
        }
        DEVINST parent = 0;
        UsbIds above;
        // One interface of a composite device: the serial number is its parent's.
        if (ids.serialNumber.empty() && ::CM_Get_Parent(&parent, device.DevInst, 0) == CR_SUCCESS &&
            UsbIdsFromInstanceId(InstanceIdOf(parent), &above) && above.vendorId == ids.vendorId) {
            ids.serialNumber = above.serialNumber;
        }
        port->vendorId = ids.vendorId;
        port->productId = ids.productId;
        port->serialNumber = ids.serialNumber;
        port->description += (port->description.empty() ? "USB " : ", USB ") + ids.vendorId + ":" +
                             ids.productId +
                             (ids.serialNumber.empty() ? "" : ", serial " + ids.serialNumber);
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

} // namespace serial::win32

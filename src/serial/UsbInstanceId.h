// USB ids as four lower-case hex digits, and what a Windows device instance id tells of the USB
// device behind a COM port: "USB\VID_0403&PID_6001\A1B2C3",
// "FTDIBUS\VID_0403+PID_6001+A1B2C3A\0000". Read on every build, so that it is tested where the
// tests run.
#pragma once
#include <string>

namespace serial {

struct UsbIds {
    std::string vendorId;     // four lower-case hex digits; empty when not told
    std::string productId;    // the same
    std::string serialNumber; // empty when the id holds none (Windows made one up)
};

// A USB id of one to four hex digits ("403", "0403") as four lower-case digits; empty when the
// text is not one.
std::string UsbIdFromHex(const std::string& text);

// The ids and the serial number in an instance id; false when it names no USB vendor id.
// The serial number of "USB\VID_x&PID_y\SERIAL" is its last part where it holds no "&" (one
// with "&" Windows made up for a device without a serial number); FTDI's driver puts it after
// the product id, followed by the letter of the adapter's port.
bool UsbIdsFromInstanceId(const std::string& instanceId, UsbIds* ids);

} // namespace serial

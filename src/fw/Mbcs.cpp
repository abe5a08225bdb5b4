// Lead-byte tables: the system's own answer on Windows, fixed tables of the double-byte pages
// elsewhere.
#include "fw/Mbcs.h"

#ifdef _WIN32
#include "fw/WinTypes.h"
#endif

namespace fw {

bool IsDbcsLeadByteEx(unsigned int codePage, unsigned char byte) {
#ifdef _WIN32
    return ::IsDBCSLeadByteEx(codePage, byte) != FALSE;
#else
    switch (codePage) {
    case 932: // Japanese Shift-JIS
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936: // Simplified Chinese GBK
    case 949: // Korean
    case 950: // Traditional Chinese Big5
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
#endif
}

bool IsDbcsLeadByte(unsigned char byte) {
#ifdef _WIN32
    return ::IsDBCSLeadByte(byte) != FALSE;
#else
    // The host runs the program as in a Western code page, which has no lead bytes.
    return IsDbcsLeadByteEx(1252, byte);
#endif
}

} // namespace fw

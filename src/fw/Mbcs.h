// Lead bytes of double-byte characters in the system's ANSI code page.
#pragma once

namespace fw {

// Whether the byte begins a double-byte character in the system's ANSI code page.
bool IsDbcsLeadByte(unsigned char byte);
// The same for a given code page: 932, 936, 949 and 950 have lead bytes; single-byte pages none.
bool IsDbcsLeadByteEx(unsigned int codePage, unsigned char byte);

} // namespace fw

// The characters and texts the Keystrand SM exchanges with the update program on its serial line.
#pragma once
#include <cstdint>

namespace sim {

// Application firmware, 9600 baud 8N1: "<V" asks for the identity, "<W" restarts into the
// boot loader, which the firmware confirms by dropping DSR.
inline constexpr std::uint32_t kApplicationBaud = 9600;
inline constexpr char kIdentityCommand[] = "<V";
inline constexpr char kRestartCommand[] = "<W";
// The identity reply is 18 characters: this 12-character prefix and a 6-character serial.
inline constexpr char kIdentityPrefix[] = "\rKYST-SM-00,";
inline constexpr unsigned kIdentityReplyLength = 18;
inline constexpr unsigned kSerialLength = 6;

// Boot loader, 115200 baud 8N1.
inline constexpr std::uint32_t kBootLoaderBaud = 115200;
inline constexpr char kIdentificationRequest[] = "#&!KYST-SM35";
inline constexpr unsigned kIdentificationRequestLength = 12;
inline constexpr char kBootLoaderVersion[] = "KYST-SM-2.10";
inline constexpr char kCarriageReturn = '\r';
inline constexpr char kReady = '?';
inline constexpr char kXon = 0x11;
inline constexpr char kXoff = 0x13;
inline constexpr char kLineComplete = '~';
inline constexpr char kFileComplete = '@';
// The boot loader's answer to a row that fails its check, in place of XOFF and '~'.
inline constexpr char kNak = 0x15;

// One character on an 8N1 line: start bit, eight data bits, stop bit.
inline constexpr unsigned kBitsPerCharacter = 10;

} // namespace sim

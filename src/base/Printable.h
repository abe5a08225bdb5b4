// Bytes from files, devices and the system made safe to show to people: every byte outside
// printable ASCII escaped, so that a damaged or hostile text cannot move the cursor, clear the
// screen or break a line. One set of rules for the programs, the simulator and the tools.
#pragma once
#include <string>

namespace base {

// The bytes with \r \n \t \\ \" and \xHH for every other byte outside printable ASCII.
std::string Escaped(const std::string& bytes);
// The same in double quotes.
std::string Quoted(const std::string& bytes);

// One character by name and value: NAK (0x15), XON (0x11), the at sign (0x40), "Z" (0x5A),
// 0xE9.
std::string CharacterName(char c);

} // namespace base

// Text from files and from the device made safe to print: no byte reaches the terminal raw.
#pragma once
#include <cstddef>
#include <string>

namespace console {

// The bytes in double quotes, with \r \n \t \\ \" and \xHH for every byte outside printable
// ASCII, so that a damaged or hostile file or device cannot move the cursor or clear the screen.
std::string Quoted(const std::string& bytes);
// The same without the quotes, for names that stand in a sentence.
std::string Escaped(const std::string& bytes);

// One received character by name and value: NAK (0x15), XON (0x11), the at sign (0x40),
// "Z" (0x5A), 0xE9.
std::string CharacterName(char c);

} // namespace console

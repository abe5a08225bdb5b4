// Windows' names of its serial ports, COM1 and up, read and written on every build.
#pragma once
#include <string>

namespace serial {

// The highest port number Windows hands out.
constexpr int kLastComNumber = 4096;

// The number in "COMn", "comn", "\\.\COMn" or a plain "n" (1 to kLastComNumber, no leading
// zero); 0 when the text has none of these forms.
int ComNumberFromText(const std::string& text);

// "COM3".
std::string ComName(int number);

} // namespace serial

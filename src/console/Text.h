// Text for the console and the trace: bytes from files and the device made safe to print, and
// the one measure of a text's width on a terminal with its fitting and wrapping.
#pragma once
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

// Columns a text takes: UTF-8 continuation bytes take none.
int Columns(const std::string& text);
// The text cut to columns whole characters, then padded with blanks to exactly that many.
std::string Fitted(const std::string& text, int columns);
// The text padded with blanks to at least columns.
std::string PaddedRight(const std::string& text, int columns);
// The text broken between words into lines of at most columns - 1 (a word longer than that
// stands alone); lines it already has are kept. columns <= 0: the text as it is.
std::string Wrapped(const std::string& text, int columns);

// The ellipsis of this program's output: "…" where the locale's character set is UTF-8, else
// "...".
const char* Ellipsis();

} // namespace console

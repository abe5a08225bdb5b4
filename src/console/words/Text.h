// Text for the console: the one measure of a text's width on a terminal, with its
// fitting and wrapping; bytes from files and the device are escaped by the ground floor's rules.
#pragma once
#include <string>
#include <vector>

#include "base/Printable.h"

namespace console {

using base::CharacterName;
using base::Escaped;
using base::Quoted;

// Columns a text takes: UTF-8 continuation bytes take none.
int Columns(const std::string& text);
// The text cut to columns whole characters, then padded with blanks to exactly that many.
std::string Fitted(const std::string& text, int columns);
// The fields joined by two blanks, in order, as many as fit whole in columns, then padded with
// blanks to exactly that many: a field that does not fit is left out with those after it, so
// that no number is ever shown in part.
std::string FieldsFitted(const std::vector<std::string>& fields, int columns);
// The text padded with blanks to at least columns.
std::string PaddedRight(const std::string& text, int columns);
// The text broken between words into lines of at most columns - 1 (a word longer than that
// stands alone); lines it already has are kept. columns <= 0: the text as it is.
std::string Wrapped(const std::string& text, int columns);

// The ellipsis of this program's output: "…" where the locale's character set is UTF-8, else
// "...".
const char* Ellipsis();

} // namespace console

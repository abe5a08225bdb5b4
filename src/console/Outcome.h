// The outcome of an update, told from the message boxes the update dialog shows.
#pragma once
#include <string>

#include "console/ExitCodes.h"

namespace console {

// The exit code that a message box of the update dialog stands for (its caption and text);
// kExitOther for a box that is none of the dialog's known outcomes.
ExitCode ExitCodeOfMessage(const std::string& caption, const std::string& text);

// The text of a message box as console lines: every line without its trailing blanks, and
// without the empty lines at its end.
std::string TidyMessageText(const std::string& text);

} // namespace console

// Whether a terminal can have its cursor moved, for the live lines of several updates at once.
#pragma once
#include <cstdio>

namespace console {

// True when the stream is a terminal that takes the cursor-up and erase sequences ("ESC [ n A",
// "ESC [ J"); on Windows their processing is switched on for the console first. False: plain
// lines instead.
bool EnableCursorMovement(std::FILE* stream);

} // namespace console

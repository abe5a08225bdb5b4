// Cursor movement on a Linux terminal: any terminal but a dumb one.
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "console/CursorControl.h"

namespace console {

bool EnableCursorMovement(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    return ::isatty(::fileno(stream)) == 1 && term != nullptr && *term != '\0' &&
           std::strcmp(term, "dumb") != 0;
}

} // namespace console

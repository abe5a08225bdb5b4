// Lines said on a stream, fitted to a terminal.
#include "console/os/Terminal.h"

#include "console/words/Text.h"

namespace console {

void Say(const Stream& stream, const std::string& line) {
    std::fprintf(stream.file, "%s\n", Wrapped(line, stream.columns()).c_str());
}

} // namespace console

// The program's end of the modem-line requests: asks the simulated device behind a terminal.
//
// Only C headers: this is built into the preloaded library, for 32-bit programs too, without
// the C++ library.
#pragma once
#include <stdint.h>

namespace modem_lines {

enum class Asked {
    kNotADevice, // the descriptor leads to no simulated device: the system answers
    kAnswered,   // the device answered (or failed to, which fails the request)
};

// Hands the request (sim/ModemLinesWire.h: the operation and its line bits) for the terminal
// behind fd to the simulated device serving it, waiting at most kProgramWaitMs. With kAnswered,
// *error is 0 and *lines every line after the request, or *error is the errno to fail with.
// errno is left as it was.
Asked AskDevice(int fd, uint32_t op, uint32_t request, uint32_t* lines, int* error);

} // namespace modem_lines

// Where keystrand-update writes: each output stream as the program found it when it started, a
// terminal or a pipe or file, decided once for the whole run.
#pragma once
#include <cstdio>
#include <functional>
#include <string>

namespace console {

struct Stream {
    std::FILE* file = nullptr;
    bool terminal = false;       // an interactive terminal
    bool cursorMovement = false; // a terminal that takes "ESC [ nA" and "ESC [ K"
    // The terminal's columns at the moment; 0 when unknown. Empty for a pipe or a file.
    std::function<int()> width;

    // The columns to fit text to now: the terminal's width; 0 (no fitting) elsewhere.
    int columns() const { return terminal && width ? width() : 0; }
};

// A line on the stream; on a terminal of known width it is broken between words to fit it.
void Say(const Stream& stream, const std::string& line);

} // namespace console

// How the board of several updates at once is drawn, by the one thread that draws: plain lines,
// each prefixed with its port, or on a terminal one live line per port under the lines so far.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "console/view/PortBoard.h"

namespace console {

class PortScreen {
public:
    virtual ~PortScreen() = default;
    // Draws what the board gathered since the last show.
    virtual void show(const PortBoard::Snapshot& snapshot) = 0;
};

// Whole lines, "/dev/ttyUSB0: Row 3 of 30 (10%)", the names padded so that the texts line up.
// Where width gives the terminal's columns, a text that does not fit is broken between words,
// its further lines under its first; 0: lines as they are (a pipe or a file).
class PrefixedLines : public PortScreen {
public:
    PrefixedLines(std::FILE* out, std::FILE* err, const std::vector<std::string>& names,
                  std::function<int()> width);
    void show(const PortBoard::Snapshot& snapshot) override;

protected:
    // Writes the snapshot's lines, each flushed before the next, so that out and err keep
    // their order where they meet.
    void writeLines(const PortBoard::Snapshot& snapshot);

    std::FILE* m_out;
    std::FILE* m_err;
    std::vector<std::string> m_prefixes;
    std::function<int()> m_width;
};

// On a terminal: the ports' lines scroll above a block of one live line per port, "COM1
// (/dev/ttyUSB0)  sending      [####......]  120/400 rows   30%  52 rows/s  0:05 left", redrawn
// in place with the cursor moved up over it. Each line is fitted to the terminal's width at
// that moment, so that none wraps.
class LiveLines : public PrefixedLines {
public:
    // width gives the terminal's columns at the moment (0 when unknown: 80 is taken).
    LiveLines(std::FILE* out, std::FILE* err, const std::vector<std::string>& names,
              std::function<int()> width);
    void show(const PortBoard::Snapshot& snapshot) override;

    // One port's live line, exactly width - 1 columns; name is padded already.
    static std::string LiveLine(const std::string& name, const PortBoard::PortState& state,
                                int width);
    // One word for where an update stands: "opening", "sending", "updated", "failed"...
    static const char* StateWord(const PortBoard::PortState& state);

private:
    std::vector<std::string> m_names;
    std::string m_block; // the live lines as last drawn
    int m_blockLines = 0;
};

} // namespace console

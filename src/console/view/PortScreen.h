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

// How the ports' lines are drawn.
struct ScreenStyle {
    // The station's: a finished device is left alone until it is unplugged, so its line says
    // how to go on, and the end of each update is marked so that it is seen from across the
    // bench (the terminal's bell; on a live screen, the state word in colour).
    bool station = false;
    // The output is a terminal: it has a bell.
    bool terminal = false;
};

// Whole lines, "/dev/ttyUSB0: Row 3 of 30 (10%)", the names padded so that the texts line up.
// Where width gives the terminal's columns, a text that does not fit is broken between words,
// its further lines under its first; 0: lines as they are (a pipe or a file).
class PrefixedLines : public PortScreen {
public:
    PrefixedLines(std::FILE* out, std::FILE* err, std::function<int()> width,
                  ScreenStyle style = ScreenStyle());
    void show(const PortBoard::Snapshot& snapshot) override;

protected:
    // Writes the snapshot's lines, each flushed before the next, so that out and err keep
    // their order where they meet.
    void writeLines(const PortBoard::Snapshot& snapshot);
    // The ports whose update ended since the last show: each end counted once.
    int newlyFinished(const PortBoard::Snapshot& snapshot);
    // The terminal's bell, once for the updates that ended, where the style rings it.
    void ring(int finished);

    std::FILE* m_out;
    std::FILE* m_err;
    std::function<int()> m_width;
    ScreenStyle m_style;

private:
    std::vector<std::string> m_prefixes; // for the names they were made of
    std::vector<std::string> m_names;
    std::vector<unsigned long> m_endsSeen; // per port: the run whose end was counted
};

// On a terminal: the ports' lines scroll above a block of one live line per port, "COM1
// (/dev/ttyUSB0)  sending      [####......]  120/400 rows   30%  52 rows/s  0:05 left", redrawn
// in place with the cursor moved up over it, and the board's footer lines under them. Each line is
// fitted to the terminal's width at that moment, so that none wraps.
class LiveLines : public PrefixedLines {
public:
    // width gives the terminal's columns at the moment (0 when unknown: 80 is taken).
    LiveLines(std::FILE* out, std::FILE* err, std::function<int()> width,
              ScreenStyle style = ScreenStyle());
    void show(const PortBoard::Snapshot& snapshot) override;

    // One port's live line, exactly width - 1 columns; name is padded already. The station's
    // line of a finished update says how to go on: "updated  serial 123456, 13/13 rows  0.8 s",
    // "failed  unplug to retry: <why>".
    static std::string LiveLine(const std::string& name, const PortBoard::PortState& state,
                                int width, bool station = false);
    // One word for where an update stands: "opening", "sending", "updated", "failed"...
    static const char* StateWord(const PortBoard::PortState& state);
    // The line with its state word (after the name and two blanks) in colour: green for
    // updated, red for failed, yellow for stopped; as it is otherwise.
    static std::string Marked(const std::string& line, const std::string& name,
                              const PortBoard::PortState& state);

private:
    std::string m_block; // the live lines as last drawn
    int m_blockLines = 0;
};

} // namespace console

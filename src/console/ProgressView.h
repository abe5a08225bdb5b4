// What keystrand-update shows while it runs: the status lines, the progress bar and the messages.
#pragma once
#include <cstdio>
#include <map>
#include <string>

#include "fw/Clock.h"

namespace console {

// Status lines are printed when their text changes to something not empty. The row progress
// becomes a bar redrawn in place on a terminal ("[####....]  120/400 rows  30%  52.1 rows/s
// 0:05 left"); elsewhere a plain line each time the percentage enters a new tenth, and at the
// last row.
class ProgressView {
public:
    ProgressView(std::FILE* out, std::FILE* err, bool terminal, fw::Clock& clock);

    // A control of the update dialog got a new text.
    void itemText(int id, const std::string& text);
    // A message box of the update dialog: its caption, then its text's lines indented; failures
    // go to the error stream.
    void message(const std::string& caption, const std::string& text, bool failure);
    // A line of this program's own.
    void note(const std::string& line);
    void error(const std::string& line);
    // Ends a bar still drawn, so that what follows starts on a line of its own.
    void finish();

    // The progress line for row of total, as the plain output and the bar's tail show it.
    static std::string ProgressFigures(int row, int total, double rowsPerSecond);

private:
    void progress(int row, int total);
    void endBar();

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_terminal;
    fw::Clock& m_clock;
    std::map<int, std::string> m_shown;
    bool m_barDrawn = false;
    std::size_t m_barWidth = 0;
    int m_lastTenth = -1;
    int m_firstRow = -1;
    DWORD m_firstTick = 0;
    DWORD m_lastDraw = 0;
};

} // namespace console

// What keystrand-update shows while one update runs: its notes, the progress and the summary.
#pragma once
#include <cstdio>
#include <functional>
#include <string>

#include "base/Clock.h"
#include "update/UpdateObserver.h"

namespace console {

// The engine's events turned into lines on a stream. The two faces differ only in how the
// progress is drawn: a bar redrawn in place on a terminal, or plain lines elsewhere. One view
// belongs to one update (one port); it keeps that update's progress.
class RunView : public update::UpdateObserver {
public:
    // How far the update has come, as a view draws it.
    struct Progress {
        int row = 0;
        int total = 0;
        std::uint32_t firstRowTick = 0; // when row 1 was sent
        std::uint32_t now = 0;
        std::uint32_t waitedMs = 0; // how long the device has been silent in the current wait
    };

    RunView(std::FILE* out, base::Clock& clock);

    void packageChecked(const update::HexFileSummary& summary) override;
    void modemStatus(bool statusRead, bool dsrOn) override;
    void waitStarted(update::Stage stage, std::uint32_t limitMs) override;
    void bootLoaderVersion(const std::string& version) override;
    void rowSent(int row, int total, std::size_t rowLength) override;

    // A slice of a wait passed with nothing from the device.
    void idle();
    // A line of the program's own, on a line of its own (on a terminal, wrapped at its width
    // between words).
    void note(const std::string& line);
    // The update is over: ends the progress; after a success, the summary line.
    void finish(bool succeeded);

    // The modem status as read at the start: whether it could be read, and DSR.
    bool modemStatusRead() const { return m_modemStatusRead; }
    bool dsrOn() const { return m_dsrOn; }

    // "302 rows, 4800 data bytes in 1.4 s, 215 rows/s".
    static std::string Summary(int rows, long dataBytes, std::uint32_t elapsedMs);

protected:
    // The device has been silent this long before a view says so.
    static constexpr std::uint32_t kSilenceShownMs = 1000;

    // Draws the progress now (a row was sent, or a wait goes on).
    virtual void drawProgress(const Progress& progress, bool lastRow) = 0;
    // Ends whatever drawProgress left on the current line.
    virtual void endProgress() = 0;
    // The columns that notes are wrapped at; 0: not wrapped.
    virtual int noteColumns() { return 0; }
    // Where everything the view shows goes: the stream, flushed. The view of one of several
    // updates at once hands its text on instead.
    virtual void write(const std::string& text);

private:
    void update(bool rowSent);

    std::FILE* m_out;
    base::Clock& m_clock;
    std::uint32_t m_start;
    Progress m_progress;
    std::uint32_t m_waitStart = 0;
    bool m_waiting = false;
    long m_dataBytes = 0;
    bool m_modemStatusRead = true;
    bool m_dsrOn = false;
};

// The progress as one bar line redrawn in place, fitted to the terminal's width at each draw
// (so that it follows a change of width): "[#####.....] 120/400 rows  30%  52 rows/s  0:05
// left", or "waiting for the device… 3 s" in place of the figures while the device is silent.
// Redrawn at most every kRedrawMs when it changed, and at the last row.
class BarView : public RunView {
public:
    static constexpr std::uint32_t kRedrawMs = 100;
    // Narrower than this, the bar is left out and the figures stand alone.
    static constexpr int kNarrowestBar = 5;

    // width gives the terminal's columns at the moment (0 when unknown: 80 is taken);
    // eraseToEnd: the terminal takes "ESC [ K", which erases the rest of the line.
    BarView(std::FILE* out, base::Clock& clock, std::function<int()> width,
            bool eraseToEnd = false);

    // The bar line for a width, without the carriage return: exactly width - 1 columns, so
    // that it never wraps. Narrower, the bar goes first, then the time left, the rate and the
    // percentage, each whole.
    static std::string BarLine(const Progress& progress, int width);

private:
    void drawProgress(const Progress& progress, bool lastRow) override;
    void endProgress() override;
    int noteColumns() override;
    void draw();

    std::function<int()> m_width;
    bool m_eraseToEnd;
    bool m_drawn = false;
    std::uint32_t m_lastDraw = 0;
    std::string m_lastLine;
    Progress m_latest;
    bool m_behind = false; // m_latest is newer than what the line shows
};

// Plain lines for a pipe or a file: one each time the progress enters a new tenth and at the
// last row, and one when the device has been silent for a second.
class LineView : public RunView {
public:
    LineView(std::FILE* out, base::Clock& clock) : RunView(out, clock) {}

private:
    void drawProgress(const Progress& progress, bool lastRow) override;
    void endProgress() override {}

    int m_lastTenth = -1;
    bool m_silenceShown = false;
};

} // namespace console

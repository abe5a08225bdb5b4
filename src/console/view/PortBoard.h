// console::PortBoard: what several updates at once have to show, handed in by their threads and
// taken by the one thread that draws, so that no two ports' writes ever meet on a line. Each
// port has one line on the board; the station adds lines as ports come, and hides them as they
// go.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "console/view/PortsSummary.h"
#include "console/view/RunView.h"
#include "update/UpdateOutcome.h"

namespace console {

class PortBoard {
public:
    // How one port's update stands.
    struct PortState {
        std::string name;      // the port as the user knows it, escaped
        bool shown = true;     // the port is there to be shown
        bool waiting = false;  // plugged in, its update not begun
        unsigned long run = 0; // counts the updates begun on this line
        update::Stage stage = update::Stage::kCheckingPackage;
        RunView::Progress progress;
        bool finished = false;
        PortSummary summary; // once finished
    };
    // A whole line of one port's.
    struct Line {
        std::size_t port = 0;
        bool toErr = false; // a failure's report, as one update tells it on its error stream
        std::string text;
    };
    // Everything since the last take.
    struct Snapshot {
        std::vector<Line> lines;
        std::size_t droppedLines = 0; // lines beyond kMaxWaitingLines, not kept
        std::vector<PortState> ports;
        bool allFinished = false;
        std::string footer; // under the ports' lines, where they are drawn live; may hold
                            // several lines
    };

    // Lines waiting to be drawn; the drawing thread takes them ten times a second, so only a
    // drawing blocked by its reader lets this many gather.
    static constexpr std::size_t kMaxWaitingLines = 4096;
    // A line without its end is cut here.
    static constexpr std::size_t kMaxLineLength = 4096;

    // One line per port, each shown with its update about to begin.
    explicit PortBoard(const std::vector<std::string>& names);

    // From a port's thread. Text is cut into whole lines; a line's start waits for its end.
    void text(std::size_t port, const std::string& text);
    void stage(std::size_t port, update::Stage stage);
    void progress(std::size_t port, const RunView::Progress& progress);
    // The update is over: how it ended, and its report's lines (on the error stream unless it
    // succeeded).
    void finished(std::size_t port, const PortSummary& summary,
                  const std::vector<std::string>& report);

    // From the thread that runs the ports. A whole line of the port's on the error stream.
    void errorLine(std::size_t port, const std::string& line);
    // A new port's line, hidden until it is plugged in;
    // returns its number.
    std::size_t add(const std::string& name);
    // The port was plugged in: shown, waiting for its update; what an earlier plug's update
    // showed is gone.
    void waiting(std::size_t port);
    // A new update on the port's line: its state begins anew.
    void begin(std::size_t port);
    // The port is gone: its line is no longer drawn.
    void hide(std::size_t port);
    void setFooter(const std::string& footer);

    // From the drawing thread.
    Snapshot take();

private:
    void addLine(std::size_t port, bool toErr, const std::string& text);
    void endPartial(std::size_t port);

    std::mutex m_mutex;
    std::vector<PortState> m_ports;
    std::vector<std::string> m_partial; // each port's line so far
    std::vector<Line> m_lines;
    std::size_t m_dropped = 0;
    std::string m_footer;
};

} // namespace console

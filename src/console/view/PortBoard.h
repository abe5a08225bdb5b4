// console::PortBoard: what several updates at once have to show, handed in by their threads and
// taken by the one thread that draws, so that no two ports' writes ever meet on a line.
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
    };

    // Lines waiting to be drawn; the drawing thread takes them ten times a second, so only a
    // drawing blocked by its reader lets this many gather.
    static constexpr std::size_t kMaxWaitingLines = 4096;
    // A line without its end is cut here.
    static constexpr std::size_t kMaxLineLength = 4096;

    explicit PortBoard(std::size_t ports);

    // From a port's thread. Text is cut into whole lines; a line's start waits for its end.
    void text(std::size_t port, const std::string& text);
    void stage(std::size_t port, update::Stage stage);
    void progress(std::size_t port, const RunView::Progress& progress);
    // The update is over: how it ended, and its report's lines (on the error stream unless it
    // succeeded).
    void finished(std::size_t port, const PortSummary& summary,
                  const std::vector<std::string>& report);

    // From the drawing thread.
    Snapshot take();

private:
    void addLine(std::size_t port, bool toErr, const std::string& text);

    std::mutex m_mutex;
    std::vector<PortState> m_ports;
    std::vector<std::string> m_partial; // each port's line so far
    std::vector<Line> m_lines;
    std::size_t m_dropped = 0;
};

} // namespace console

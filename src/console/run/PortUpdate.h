// console::PortUpdate: one update among several at once, through one port: its own view on the
// board, its UpdateRun (line, waits, trace) and, on a thread of its own, the run; when it is
// over, its result and its line of the table. Several ports and the station both run theirs so.
#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "console/os/Platform.h"
#include "console/run/UpdateJob.h"
#include "console/run/UpdateRun.h"
#include "console/view/PortBoard.h"
#include "console/view/PortScreen.h"
#include "console/view/PortsSummary.h"
#include "console/view/RunView.h"

namespace console {

// Whether the ports' lines are drawn live: on a terminal that takes the cursor's movement.
bool DrawsLive(const Stream& out);
// The screen of the ports' lines: live where DrawsLive, else plain lines.
std::unique_ptr<PortScreen> ScreenFor(const Stream& out, const Stream& err,
                                      ScreenStyle style = ScreenStyle());

class PortUpdate {
public:
    // The update through the port, drawn on the board's line slot: live (a terminal that takes
    // the cursor's movement) or as plain lines.
    PortUpdate(Platform& platform, PortBoard& board, std::size_t slot, const std::string& port,
               const Stream& out, bool live, const UpdateJob& job);
    ~PortUpdate(); // waits for its thread
    PortUpdate(const PortUpdate&) = delete;
    PortUpdate& operator=(const PortUpdate&) = delete;

    const std::string& port() const { return m_run.port(); }
    std::size_t slot() const { return m_slot; }

    // The update's trace in that file: empty when it was created, else the problem in words.
    std::string traceTo(const std::string& path);
    // Runs the update on a thread of its own; where the system gives none, it ends at once as a
    // failure of the program.
    void start();
    // Runs it on this thread: a package that cannot be sent, refused without waiting.
    void runHere();
    // The run is over (from any thread); then join, and its result and summary may be read.
    bool over() const { return m_over.load(); }
    void join();

    const RunResult& result() const { return m_result; }
    const PortSummary& summary() const { return m_summary; }

private:
    void run();

    PortBoard& m_board;
    std::size_t m_slot;
    const UpdateJob& m_job;
    std::unique_ptr<RunView> m_view;
    UpdateRun m_run;
    std::thread m_thread;
    std::atomic<bool> m_over{false};
    RunResult m_result;
    PortSummary m_summary;
};

} // namespace console

// One update among several, on its own thread.
#include "console/run/PortUpdate.h"

#include <exception>
#include <system_error>

#include "console/view/PortViews.h"
#include "console/words/ExitCodes.h"
#include "console/words/Record.h"
#include "console/words/Text.h"

namespace console {

namespace {

std::unique_ptr<RunView> ViewOf(PortBoard& board, std::size_t slot, const Stream& out, bool live,
                                base::Clock& clock) {
    if (live) {
        return std::make_unique<LivePortView>(board, slot, out.file, clock);
    }
    return std::make_unique<LinePortView>(board, slot, out.file, clock);
}

} // namespace

bool DrawsLive(const Stream& out) {
    return out.terminal && out.cursorMovement;
}

std::unique_ptr<PortScreen> ScreenFor(const Stream& out, const Stream& err, ScreenStyle style) {
    if (DrawsLive(out)) {
        return std::make_unique<LiveLines>(out.file, err.file, out.width, style);
    }
    return std::make_unique<PrefixedLines>(
        out.file, err.file, [&out] { return out.columns(); }, style);
}

PortUpdate::PortUpdate(Platform& platform, PortBoard& board, std::size_t slot,
                       const std::string& port, const Stream& out, bool live, const UpdateJob& job)
    : m_board(board), m_slot(slot), m_job(job),
      m_view(ViewOf(board, slot, out, live, platform.clock())), m_run(platform, *m_view, port) {
    m_view->packageChecked(job.checked);
    m_summary.name = Escaped(port);
    m_summary.totalRows = job.checked.rows;
}

PortUpdate::~PortUpdate() {
    join();
}

std::string PortUpdate::traceTo(const std::string& path) {
    return StartTrace(m_run, path);
}

void PortUpdate::start() {
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        m_summary.exitCode = kExitOther;
        m_summary.outcome = "Not updated: the system gave no thread for its update.";
        m_summary.ran = false;
        m_result.report.exitCode = kExitOther;
        m_result.report.headline = m_summary.outcome;
        m_board.finished(m_slot, m_summary, {m_summary.outcome});
        m_over = true;
    }
}

void PortUpdate::runHere() {
    run();
}

void PortUpdate::join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void PortUpdate::run() {
    std::vector<std::string> report;
    try {
        m_result =
            m_job.refused ? m_run.refused(m_job.refusal) : m_run.run(m_job.package, m_job.checked);
        m_summary.exitCode = m_result.report.exitCode;
        m_summary.outcome = m_result.report.headline;
        m_summary.rowsSent = RowsAccepted(m_result.outcome);
        m_summary.elapsedMs = m_result.elapsedMs;
        m_summary.ran = !m_job.refused;
        m_summary.deviceSerial = DeviceSerial(m_result.outcome.identity);
        report = m_result.report.Lines();
    } catch (const std::exception& e) {
        m_summary.exitCode = kExitOther;
        m_summary.outcome =
            std::string("The update ended on an error of the program: ") + e.what() + ".";
        m_result.report.exitCode = kExitOther;
        m_result.report.headline = m_summary.outcome;
        report = {m_summary.outcome};
    }
    // A refused package is told once for every port, not on the board.
    if (!m_job.refused) {
        m_board.finished(m_slot, m_summary, report);
    }
    m_over = true;
}

} // namespace console

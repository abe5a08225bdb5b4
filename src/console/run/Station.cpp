// The station: the ports watched, one update per plug, the board drawn, the table at the end.
#include "console/run/Station.h"

#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ProductNames.h"
#include "console/os/Settle.h"
#include "console/os/StopSignal.h"
#include "console/run/PortChoice.h"
#include "console/run/PortUpdate.h"
#include "console/run/StationPlan.h"
#include "console/run/TraceFiles.h"
#include "console/run/UpdateJob.h"
#include "console/view/PortBoard.h"
#include "console/view/PortScreen.h"
#include "console/view/PortsSummary.h"
#include "console/view/StationTotals.h"
#include "console/words/ExitCodes.h"
#include "console/words/OutcomeWording.h"
#include "console/words/Text.h"
#include "serial/PortArrivals.h"

namespace console {

namespace {

// With nothing to draw, the station wakes this often (the totals, a stop that another thread
// was told of); the ports' comings and goings wake it at once.
constexpr std::uint32_t kIdleWakeMs = 500;
// The table at the end keeps the last this many updates; the records keep them all.
constexpr std::size_t kMaxTableRows = 10000;

std::string ClockTime(std::time_t when) {
    char text[16] = {};
    if (const std::tm* local = std::localtime(&when)) {
        std::strftime(text, sizeof text, "%H:%M", local);
    }
    return text;
}

class Station {
public:
    Station(const Options& options, Platform& platform, const UpdateJob& job, const Stream& out,
            const Stream& err)
        : m_options(options), m_platform(platform), m_job(job), m_out(out), m_err(err),
          m_live(DrawsLive(out)), m_board(std::vector<std::string>()),
          m_screen(ScreenFor(out, err, ScreenStyle{true, out.terminal})),
          m_arrivals(platform.ports(), options.portFilters, platform.clock(), SettleMs()),
          m_started(std::time(nullptr)), m_startTick(platform.clock().getTickCount()) {
        if (!options.trace.empty()) {
            m_tracePrefix = platform.folderPrefix(options.trace);
        }
    }

    // Until a stop, and every update it stopped has ended; the exit code.
    int run() {
        handle(m_arrivals.start());
        for (;;) {
            reap();
            const bool stopping = StopSignal() != 0;
            if (!stopping) {
                begin();
            }
            draw();
            if (stopping && m_running.empty()) {
                break;
            }
            handle(m_arrivals.next(m_running.empty() ? kIdleWakeMs : BarView::kRedrawMs));
        }
        return end();
    }

private:
    std::size_t slotOf(const std::string& port) {
        const auto known = m_slots.find(port);
        if (known != m_slots.end()) {
            return known->second;
        }
        const std::size_t slot = m_board.add(Escaped(port));
        m_slots.emplace(port, slot);
        return slot;
    }

    // The line of a port as the plan has it now.
    void showAsPlanned(const std::string& port) {
        const std::size_t slot = slotOf(port);
        switch (m_plan.look(port)) {
        case StationPlan::Look::kHidden:
            m_board.hide(slot);
            break;
        case StationPlan::Look::kWaiting:
            m_board.waiting(slot);
            break;
        case StationPlan::Look::kUpdating:
        case StationPlan::Look::kDone:
            break; // the update's own line
        }
    }

    void handle(const std::vector<serial::PortPlugs::Event>& events) {
        using Kind = serial::PortPlugs::Event::Kind;
        for (const serial::PortPlugs::Event& e : events) {
            const std::string& port = e.port.name;
            switch (e.kind) {
            case Kind::kPlugged:
                m_plan.plugged(port, e.plug);
                if (!m_live) {
                    m_board.text(slotOf(port), "Plugged in" +
                                                   (e.port.description.empty()
                                                        ? std::string()
                                                        : ": " + Escaped(e.port.description)) +
                                                   "\n");
                }
                break;
            case Kind::kSettled:
                m_plan.settled(port, e.plug);
                break;
            case Kind::kUnplugged:
                m_plan.unplugged(port, e.plug);
                if (!m_live) {
                    m_board.text(slotOf(port), "Unplugged\n");
                }
                break;
            }
            showAsPlanned(port);
        }
        tellFallback();
    }

    // Every update that ended: its record, its row of the table, and its port's line.
    void reap() {
        for (auto it = m_running.begin(); it != m_running.end();) {
            PortUpdate& u = **it;
            if (!u.over()) {
                ++it;
                continue;
            }
            u.join();
            const std::string problem =
                AppendUpdateRecord(m_options, m_platform, m_job, u.port(), u.result());
            if (!problem.empty()) {
                m_recordFailed = true;
                m_board.errorLine(u.slot(), problem);
            }
            const PortSummary& s = u.summary();
            if (s.exitCode == kExitSuccess) {
                m_updated++;
            } else {
                m_failed++;
                if (s.exitCode < kExitSignalBase) {
                    m_board.text(u.slot(), "Unplug the device and plug it in again to retry.\n");
                }
            }
            m_table.push_back(s);
            if (m_table.size() > kMaxTableRows) {
                m_earlier.count++;
                m_earlier.updated += m_table.front().exitCode == kExitSuccess ? 1 : 0;
                m_earlier.worstExitCode =
                    WorstExitCode({m_earlier.worstExitCode, m_table.front().exitCode});
                m_table.pop_front();
            }
            m_plan.finished(u.port());
            showAsPlanned(u.port());
            it = m_running.erase(it);
        }
    }

    // The updates due: each on a thread of its own.
    void begin() {
        for (const std::string& port : m_plan.due()) {
            const std::size_t slot = slotOf(port);
            m_board.begin(slot);
            auto u =
                std::make_unique<PortUpdate>(m_platform, m_board, slot, port, m_out, m_live, m_job);
            if (!m_tracePrefix.empty()) {
                const std::string problem =
                    u->traceTo(DatedTraceName(m_tracePrefix, port, std::time(nullptr)));
                if (!problem.empty()) {
                    m_board.text(slot, problem + "; the update goes on without it.\n");
                }
            }
            u->start();
            m_running.push_back(std::move(u));
        }
    }

    void draw() {
        const std::string totals = StationTotals(ClockTime(m_started), m_updated, m_failed,
                                                 base::TicksSince(m_platform.clock(), m_startTick));
        m_board.setFooter(m_fallback.empty() ? totals : totals + "\nNote: " + m_fallback + ".");
        m_screen->show(m_board.take());
    }

    // Where the system does not tell of its ports' comings and goings, and the ports are looked
    // at every so often instead: on a terminal under the totals, elsewhere said once.
    void tellFallback() {
        const std::string fallback = m_arrivals.fallback();
        if (fallback != m_fallback) {
            m_fallback = fallback;
            if (!m_live && !fallback.empty()) {
                Say(m_err, CONSOLE_PROGRAM_NAME ": " + fallback + ".");
            }
        }
    }

    int end() {
        m_screen->show(m_board.take());
        const int signal = StopSignal();
        Say(m_out, "");
        Say(m_out, "Station ended by " + SignalName(signal) + ".");
        int exitCode = WorstExitCode({m_earlier.worstExitCode});
        if (m_table.empty()) {
            Say(m_out, "No device was updated.");
        } else {
            std::vector<PortSummary> rows(m_table.begin(), m_table.end());
            for (const std::string& line : SummaryTable(rows, m_out.columns(), m_earlier)) {
                std::fprintf(m_out.file, "%s\n", line.c_str());
            }
            std::vector<int> codes = {m_earlier.worstExitCode};
            for (const PortSummary& s : rows) {
                codes.push_back(s.exitCode);
            }
            exitCode = WorstExitCode(codes);
        }
        TellChangedHexFile(m_job, m_out);
        return m_recordFailed ? kExitOther : exitCode;
    }

    const Options& m_options;
    Platform& m_platform;
    const UpdateJob& m_job;
    const Stream& m_out;
    const Stream& m_err;
    bool m_live;
    PortBoard m_board;
    std::unique_ptr<PortScreen> m_screen;
    serial::PortArrivals m_arrivals;
    StationPlan m_plan;
    std::map<std::string, std::size_t> m_slots;
    std::vector<std::unique_ptr<PortUpdate>> m_running;
    std::deque<PortSummary> m_table;
    EarlierUpdates m_earlier;
    std::string m_tracePrefix;
    std::string m_fallback;
    std::time_t m_started;
    std::uint32_t m_startTick;
    int m_updated = 0;
    int m_failed = 0;
    bool m_recordFailed = false;
};

} // namespace

int RunStation(const Options& options, Platform& platform, const Stream& out, const Stream& err) {
    UpdateJob job;
    ReadJobPackage(options, platform, out, &job);
    if (job.refused) {
        OutcomeReport told = job.refusal;
        told.deviceState = "The station did not begin: no device was touched.";
        for (const std::string& line : told.Lines()) {
            Say(err, line);
        }
        return job.refusal.exitCode;
    }
    const std::string traceProblem = TraceFolderProblem(options.trace);
    if (!traceProblem.empty()) {
        Say(err, traceProblem);
        return kExitUsage;
    }
    const std::string filters = FilterList(options);
    Say(out, "Watching the serial ports" + (filters.empty() ? "" : " that pass " + filters) +
                 ": each " DEVICE_NAME " plugged in is updated once; unplug it when it is done. "
                 "Ctrl-C ends the station.");
    std::fflush(out.file);
    Station station(options, platform, job, out, err);
    return station.run();
}

} // namespace console

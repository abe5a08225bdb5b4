// Several devices at once: the ports chosen, the package checked once, one thread per update,
// one thread drawing, and the table at the end.
#include "console/run/SeveralPorts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include "base/ProductNames.h"
#include "console/run/ConsoleRun.h"
#include "console/run/Package.h"
#include "console/run/PortChoice.h"
#include "console/run/UpdateJob.h"
#include "console/run/UpdateRun.h"
#include "console/view/PortBoard.h"
#include "console/view/PortScreen.h"
#include "console/view/PortViews.h"
#include "console/view/PortsSummary.h"
#include "console/words/ExitCodes.h"
#include "console/words/Text.h"
#include "update/HexFileCheck.h"

namespace console {

namespace {

const char* const kNothingSent = "Nothing was sent to any device: all are unchanged.";

// The trace file of each port, in the folder: trace-<the port's last name part>.log, a number
// added where two ports end alike. Never "COM3.log": Windows takes any name that begins "COM3."
// for the port itself.
std::vector<std::string> TraceNames(const std::string& folderPrefix,
                                    const std::vector<std::string>& ports) {
    std::vector<std::string> names;
    for (const std::string& port : ports) {
        std::string base = port.substr(port.find_last_of("/\\") + 1);
        for (char& c : base) {
            const bool plain =
                std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
            c = plain ? c : '_';
        }
        std::string name = folderPrefix + "trace-" + base + ".log";
        for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n) {
            name = folderPrefix + "trace-" + base + "-" + std::to_string(n) + ".log";
        }
        names.push_back(name);
    }
    return names;
}

// The trace folder, made when missing; false when it cannot be.
bool MakeFolder(const std::string& path) {
#ifdef _WIN32
    const int made = ::_mkdir(path.c_str());
#else
    const int made = ::mkdir(path.c_str(), 0777);
#endif
    return made == 0 || errno == EEXIST;
}

// One update, on its own thread: its outcome for the board and the table.
PortSummary RunOnePort(UpdateRun& run, const UpdateJob& job, PortBoard& board, std::size_t index,
                       RunResult* result) {
    PortSummary s;
    s.name = Escaped(run.port());
    s.totalRows = job.checked.rows;
    std::vector<std::string> report;
    try {
        *result = job.refused ? run.refused(job.refusal) : run.run(job.package, job.checked);
        s.exitCode = result->report.exitCode;
        s.outcome = result->report.headline;
        s.rowsSent = RowsAccepted(result->outcome);
        s.elapsedMs = result->elapsedMs;
        s.ran = !job.refused;
        report = result->report.Lines();
    } catch (const std::exception& e) {
        s.exitCode = kExitOther;
        s.outcome = std::string("The update ended on an error of the program: ") + e.what() + ".";
        result->report.exitCode = kExitOther;
        result->report.headline = s.outcome;
        report = {s.outcome};
    }
    if (!job.refused) {
        board.finished(index, s, report);
    }
    return s;
}

} // namespace

int RunSeveralPorts(const Options& options, Platform& platform, const Stream& out,
                    const Stream& err) {
    UpdateJob job;
    const int prepared = PrepareJob(options, platform, out, err, &job);
    if (prepared != kExitSuccess) {
        return prepared;
    }
    const std::size_t count = job.ports.size();
    PortBoard board(count);
    const bool live = out.terminal && out.cursorMovement;
    std::vector<std::string> names;
    std::vector<std::unique_ptr<RunView>> views;
    std::vector<std::unique_ptr<UpdateRun>> runs;
    if (!options.trace.empty() && !MakeFolder(options.trace)) {
        const int error = errno;
        Say(err, CONSOLE_PROGRAM_NAME ": cannot make the trace folder " + Quoted(options.trace) +
                     ": " + std::strerror(error));
        return kExitUsage;
    }
    const std::vector<std::string> traces =
        options.trace.empty() ? std::vector<std::string>()
                              : TraceNames(platform.folderPrefix(options.trace), job.ports);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& port = job.ports[i];
        names.push_back(Escaped(port));
        if (live) {
            views.push_back(std::make_unique<LivePortView>(board, i, out.file, platform.clock()));
        } else {
            views.push_back(std::make_unique<LinePortView>(board, i, out.file, platform.clock()));
        }
        views.back()->packageChecked(job.checked);
        runs.push_back(std::make_unique<UpdateRun>(platform, *views.back(), port));
        if (!traces.empty() && !StartTrace(*runs.back(), traces[i], err)) {
            return kExitUsage;
        }
    }

    std::vector<RunResult> results(count);
    std::vector<PortSummary> summaries(count);
    if (job.refused) {
        // Said once, in the words of one update; each port's trace and record say it too.
        OutcomeReport told = job.refusal;
        told.deviceState = kNothingSent;
        for (const std::string& line : told.Lines()) {
            Say(err, line);
        }
        for (std::size_t i = 0; i < count; ++i) {
            summaries[i] = RunOnePort(*runs[i], job, board, i, &results[i]);
        }
        return FinishJob(options, platform, job, results, job.refusal.exitCode, out, err);
    }

    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    Say(out, "Updating " + std::to_string(count) + " Keystrand SM " +
                 (count == 1 ? "device" : "devices at once") + ": " + list);
    std::fflush(out.file);
    {
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < count; ++i) {
            try {
                threads.emplace_back(
                    [&, i] { summaries[i] = RunOnePort(*runs[i], job, board, i, &results[i]); });
            } catch (const std::system_error&) {
                summaries[i].name = names[i];
                summaries[i].exitCode = kExitOther;
                summaries[i].outcome = "Not updated: the system gave no thread for its update.";
                summaries[i].ran = false;
                results[i].report.exitCode = kExitOther;
                results[i].report.headline = summaries[i].outcome;
                board.finished(i, summaries[i], {summaries[i].outcome});
            }
        }
        std::unique_ptr<PortScreen> screen;
        if (live) {
            screen = std::make_unique<LiveLines>(out.file, err.file, names, out.width);
        } else {
            screen = std::make_unique<PrefixedLines>(out.file, err.file, names,
                                                     [&out] { return out.columns(); });
        }
        for (;;) {
            const PortBoard::Snapshot snapshot = board.take();
            screen->show(snapshot);
            if (snapshot.allFinished) {
                break;
            }
            platform.clock().sleep(BarView::kRedrawMs);
        }
        for (std::thread& t : threads) {
            t.join();
        }
    }

    std::vector<int> codes;
    for (const PortSummary& r : summaries) {
        codes.push_back(r.exitCode);
    }
    Say(out, "");
    for (const std::string& line : SummaryTable(summaries, out.columns())) {
        std::fprintf(out.file, "%s\n", line.c_str());
    }
    return FinishJob(options, platform, job, results, WorstExitCode(codes), out, err);
}

} // namespace console

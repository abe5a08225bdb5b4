// Several devices at once: the ports chosen, the package checked once, one thread per update,
// one thread drawing, and the table at the end.
#include "console/run/SeveralPorts.h"

#include <memory>
#include <string>
#include <vector>

#include "base/ProductNames.h"
#include "console/run/PortUpdate.h"
#include "console/run/TraceFiles.h"
#include "console/run/UpdateJob.h"
#include "console/view/PortBoard.h"
#include "console/view/PortScreen.h"
#include "console/view/PortsSummary.h"
#include "console/words/ExitCodes.h"
#include "console/words/Text.h"

namespace console {

namespace {

const char* const kNothingSent = "Nothing was sent to any device: all are unchanged.";

} // namespace

int RunSeveralPorts(const Options& options, Platform& platform, const Stream& out,
                    const Stream& err) {
    UpdateJob job;
    const int prepared = PrepareJob(options, platform, out, err, &job);
    if (prepared != kExitSuccess) {
        return prepared;
    }
    const std::size_t count = job.ports.size();
    std::vector<std::string> names;
    for (const std::string& port : job.ports) {
        names.push_back(Escaped(port));
    }
    PortBoard board(names);
    const bool live = DrawsLive(out);
    const std::string traceProblem = TraceFolderProblem(options.trace);
    if (!traceProblem.empty()) {
        Say(err, traceProblem);
        return kExitUsage;
    }
    const std::vector<std::string> traces =
        options.trace.empty() ? std::vector<std::string>()
                              : TraceNames(platform.folderPrefix(options.trace), job.ports);
    std::vector<std::unique_ptr<PortUpdate>> updates;
    for (std::size_t i = 0; i < count; ++i) {
        updates.push_back(
            std::make_unique<PortUpdate>(platform, board, i, job.ports[i], out, live, job));
        const std::string problem = traces.empty() ? "" : updates.back()->traceTo(traces[i]);
        if (!problem.empty()) {
            std::fprintf(err.file, "%s\n", problem.c_str());
            return kExitUsage;
        }
    }

    std::vector<RunResult> results;
    std::vector<PortSummary> summaries;
    if (job.refused) {
        // Said once, in the words of one update; each port's trace and record say it too.
        OutcomeReport told = job.refusal;
        told.deviceState = kNothingSent;
        for (const std::string& line : told.Lines()) {
            Say(err, line);
        }
        for (const auto& u : updates) {
            u->runHere();
            results.push_back(u->result());
        }
        return FinishJob(options, platform, job, results, job.refusal.exitCode, out, err);
    }

    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    Say(out, "Updating " + std::to_string(count) + " " DEVICE_NAME " " +
                 (count == 1 ? "device" : "devices at once") + ": " + list);
    std::fflush(out.file);
    for (const auto& u : updates) {
        u->start();
    }
    const std::unique_ptr<PortScreen> screen = ScreenFor(out, err);
    for (;;) {
        const PortBoard::Snapshot snapshot = board.take();
        screen->show(snapshot);
        if (snapshot.allFinished) {
            break;
        }
        platform.clock().sleep(BarView::kRedrawMs);
    }
    std::vector<int> codes;
    for (const auto& u : updates) {
        u->join();
        results.push_back(u->result());
        summaries.push_back(u->summary());
        codes.push_back(u->summary().exitCode);
    }
    Say(out, "");
    for (const std::string& line : SummaryTable(summaries, out.columns())) {
        std::fprintf(out.file, "%s\n", line.c_str());
    }
    return FinishJob(options, platform, job, results, WorstExitCode(codes), out, err);
}

} // namespace console

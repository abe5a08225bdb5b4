// Several devices at once: the ports chosen, the package checked once, one thread per update,
// one thread drawing, and the table at the end.
#include "console/SeveralPorts.h"

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

#include "console/ConsoleRun.h"
#include "console/ExitCodes.h"
#include "console/Package.h"
#include "console/PortBoard.h"
#include "console/PortChoice.h"
#include "console/PortScreen.h"
#include "console/PortViews.h"
#include "console/PortsSummary.h"
#include "console/Text.h"
#include "console/UpdateRun.h"
#include "update/HexFileCheck.h"

namespace console {

namespace {

const char* const kProgram = "keystrand-update";
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
PortSummary RunOnePort(UpdateRun& run, const RunRequest& request, PortBoard& board,
                       std::size_t index, fw::Clock& clock) {
    PortSummary s;
    s.name = Escaped(request.port);
    s.totalRows = request.checkedPackage != nullptr ? request.checkedPackage->rows : 0;
    const DWORD start = clock.getTickCount();
    std::vector<std::string> report;
    try {
        const RunResult result = run.run(request);
        s.exitCode = result.report.exitCode;
        s.outcome = result.report.headline;
        s.rowsSent = result.outcome.rowsSent;
        s.totalRows = result.outcome.totalRows;
        report = result.report.Lines();
    } catch (const std::exception& e) {
        s.exitCode = kExitOther;
        s.outcome = std::string("The update ended on an error of the program: ") + e.what() + ".";
        report = {s.outcome};
    }
    s.elapsedMs = fw::TicksSince(clock, start);
    board.finished(index, s, report);
    return s;
}

} // namespace

int RunSeveralPorts(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    Package package;
    if (!ReadUsablePackage(options, platform, out, err, &package)) {
        Say(err, kNothingSent);
        return kExitPackage;
    }
    const PortChoice chosen = ChoosePorts(options, platform);
    if (chosen.ports.empty()) {
        Say(err, std::string(kProgram) + ": " + chosen.problem);
        return chosen.exitCode;
    }

    // Checked once for all, and held from the check to the end, shared with these updates only:
    // another process's update cannot take the file meanwhile.
    fw::TextFile hexFile(&fw::SharedReadFiles());
    if (!hexFile.Open(package.hexPath)) {
        package.problem = Package::Problem::kHexUnreadable;
        package.reason = platform.whyUnreadable(package.hexPath);
        Say(err, std::string(kProgram) + ": " + DescribePackageProblem(package) + ".");
        Say(err, kNothingSent);
        return kExitPackage;
    }
    const update::HexFileSummary checked = update::CheckHexRows(hexFile);
    if (!checked.ok()) {
        // As an update of one device says it.
        update::Outcome refused;
        refused.failure = update::Failure::kPackage;
        refused.package = checked.problem;
        RunContext context;
        context.hexName = package.hexName;
        const OutcomeReport report = DescribeOutcome(refused, context);
        for (const std::string& line : report.Lines()) {
            Say(err, line);
        }
        return report.exitCode;
    }

    const std::size_t count = chosen.ports.size();
    PortBoard board(count);
    const bool live = platform.isTerminal(out) && platform.enableCursorMovement(out);
    std::vector<std::string> names;
    std::vector<RunRequest> requests(count);
    std::vector<std::unique_ptr<RunView>> views;
    std::vector<std::unique_ptr<UpdateRun>> runs;
    if (!options.trace.empty() && !MakeFolder(options.trace)) {
        const int error = errno;
        Say(err, std::string(kProgram) + ": cannot make the trace folder " + Quoted(options.trace) +
                     ": " + std::strerror(error));
        return kExitUsage;
    }
    const std::vector<std::string> traces =
        options.trace.empty() ? std::vector<std::string>()
                              : TraceNames(platform.folderPrefix(options.trace), chosen.ports);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& port = chosen.ports[i];
        names.push_back(Escaped(port));
        RunRequest& r = requests[i];
        r.port = port;
        r.hexPath = package.hexPath;
        r.hexName = package.hexName;
        r.files = &fw::SharedReadFiles();
        r.checkedPackage = &checked;
        if (live) {
            views.push_back(std::make_unique<LivePortView>(board, i, out, platform.clock()));
        } else {
            views.push_back(std::make_unique<LinePortView>(board, i, out, platform.clock()));
        }
        runs.push_back(std::make_unique<UpdateRun>(platform, *views.back(), port));
        if (!traces.empty() &&
            !runs.back()->traceTo(
                traces[i], TraceHeader(r, platform.describePort(port), VersionText(kProgram)))) {
            const int error = errno; // from the trace file's creation
            Say(err, std::string(kProgram) + ": cannot create the trace file " + Quoted(traces[i]) +
                         ": " + std::strerror(error));
            return kExitUsage;
        }
    }

    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    Say(out, "Updating " + std::to_string(count) + " Keystrand SM " +
                 (count == 1 ? "device" : "devices at once") + ": " + list);
    std::fflush(out);

    std::vector<PortSummary> results(count);
    {
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < count; ++i) {
            try {
                threads.emplace_back([&, i] {
                    results[i] = RunOnePort(*runs[i], requests[i], board, i, platform.clock());
                });
            } catch (const std::system_error&) {
                results[i].name = names[i];
                results[i].exitCode = kExitOther;
                results[i].outcome = "Not updated: the system gave no thread for its update.";
                results[i].ran = false;
                board.finished(i, results[i], {results[i].outcome});
            }
        }
        std::unique_ptr<PortScreen> screen;
        if (live) {
            screen = std::make_unique<LiveLines>(
                out, err, names, [&platform, out] { return platform.terminalWidth(out); });
        } else {
            screen = std::make_unique<PrefixedLines>(out, err, names);
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
    for (const PortSummary& r : results) {
        codes.push_back(r.exitCode);
    }
    Say(out, "");
    for (const std::string& line : SummaryTable(results)) {
        Say(out, line);
    }
    return WorstExitCode(codes);
}

} // namespace console

// Several devices at once: the ports chosen, the package checked once, one thread per update,
// one thread drawing, and the table at the end.
#include "console/SeveralPorts.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include "console/ConsoleRun.h"
#include "console/CursorControl.h"
#include "console/ExitCodes.h"
#include "console/LockedPlatform.h"
#include "console/Package.h"
#include "console/PortBoard.h"
#include "console/PortChoice.h"
#include "console/PortScreen.h"
#include "console/PortViews.h"
#include "console/PortsSummary.h"
#include "console/Printable.h"
#include "console/UpdateRun.h"
#include "console/WorkerThread.h"
#include "ui/PortRange.h"
#include "update/HexFileCheck.h"

namespace console {

namespace {

const char* const kProgram = "keystrand-update";
const char* const kNothingSent = "Nothing was sent to any device: all are unchanged.";

void Say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s\n", line.c_str());
}

std::string ComName(int n) {
    return "COM" + std::to_string(n);
}

struct ChosenPorts {
    std::vector<PortChoice> ports;
    // --all-ports: ports listed without a number the update reaches; each is a port failure.
    std::vector<PortSummary> unreachable;
    std::string problem; // nothing can be updated
    int exitCode = kExitSuccess;
};

// Each --port by the rules of one (a path as given, COMn present), no port twice; or every port
// listed.
ChosenPorts ChoosePorts(const Options& options, Platform& platform) {
    ChosenPorts chosen;
    std::vector<std::string> texts = options.ports;
    if (options.allPorts) {
        texts.clear();
        for (const PortListing& p : platform.ports()) {
            if (IsOfferedComPort(p.number)) {
                texts.push_back(ComName(p.number));
                continue;
            }
            PortSummary s;
            s.name = p.number > 0 ? ComName(p.number) : p.path;
            s.exitCode = kExitPort;
            s.outcome = "Not updated: " +
                        (p.note.empty() ? std::string("not a port the update reaches") : p.note) +
                        ".";
            s.ran = false;
            chosen.unreachable.push_back(s);
        }
        if (texts.empty()) {
            chosen.problem = chosen.unreachable.empty()
                                 ? "No serial port found (see --list-ports)."
                                 : "No serial port that the update reaches was found: COM1 to "
                                   "COM12 only (see --list-ports).";
            chosen.exitCode = kExitPort;
            return chosen;
        }
    }
    for (const std::string& text : texts) {
        Options one = options;
        one.port = text;
        one.ports = {text};
        one.allPorts = false;
        const PortChoice choice = ChoosePort(one, platform, 0);
        if (choice.number == 0) {
            chosen.problem = choice.problem;
            chosen.exitCode = kExitPort;
            return chosen;
        }
        for (const PortChoice& earlier : chosen.ports) {
            if (earlier.number == choice.number) {
                chosen.problem = earlier.name + " and " + choice.name + " are the same port, " +
                                 ComName(choice.number) + ": give it once";
                chosen.exitCode = kExitUsage;
                return chosen;
            }
        }
        chosen.ports.push_back(choice);
    }
    return chosen;
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
    s.name = request.portName;
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
    const ChosenPorts chosen = ChoosePorts(options, platform);
    if (!chosen.problem.empty()) {
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
    LockedPlatform shared(platform);
    PortBoard board(count);
    const bool live = platform.isTerminal(out) && EnableCursorMovement(out);
    std::vector<std::string> names;
    std::vector<RunRequest> requests(count);
    std::vector<std::unique_ptr<RunView>> views;
    std::vector<std::unique_ptr<UpdateRun>> runs;
    if (!options.traceFile.empty() && !MakeFolder(options.traceFile)) {
        const int error = errno;
        Say(err, std::string(kProgram) + ": cannot make the trace folder " +
                     Quoted(options.traceFile) + ": " + std::strerror(error));
        return kExitUsage;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const PortChoice& port = chosen.ports[i];
        names.push_back(port.name);
        RunRequest& r = requests[i];
        r.port = port.number;
        r.portName = port.name;
        r.hexPath = package.hexPath;
        r.hexName = package.hexName;
        r.files = &fw::SharedReadFiles();
        r.checkedPackage = &checked;
        if (live) {
            views.push_back(std::make_unique<LivePortView>(board, i, out, shared.clock()));
        } else {
            views.push_back(std::make_unique<LinePortView>(board, i, out, shared.clock()));
        }
        runs.push_back(std::make_unique<UpdateRun>(shared, *views.back()));
        if (options.traceFile.empty()) {
            continue;
        }
        // Not "COM3.log": Windows takes any name that begins "COM3." for the port itself.
        const std::string trace =
            platform.folderPrefix(options.traceFile) + "trace-" + ComName(port.number) + ".log";
        if (!runs.back()->traceTo(
                trace, TraceHeader(r, platform.devicePath(port.number), VersionText(kProgram)))) {
            const int error = errno; // from the trace file's creation
            Say(err, std::string(kProgram) + ": cannot create the trace file " + Quoted(trace) +
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
        std::vector<std::unique_ptr<WorkerThread>> threads;
        for (std::size_t i = 0; i < count; ++i) {
            threads.push_back(std::make_unique<WorkerThread>());
            const bool started = threads.back()->start([&, i] {
                results[i] = RunOnePort(*runs[i], requests[i], board, i, shared.clock());
            });
            if (!started) {
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
                out, err, names, [&shared, out] { return shared.terminalWidth(out); });
        } else {
            screen = std::make_unique<PrefixedLines>(out, err, names);
        }
        for (;;) {
            const PortBoard::Snapshot snapshot = board.take();
            screen->show(snapshot);
            if (snapshot.allFinished) {
                break;
            }
            shared.clock().sleep(BarView::kRedrawMs);
        }
    } // every thread joined

    results.insert(results.end(), chosen.unreachable.begin(), chosen.unreachable.end());
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

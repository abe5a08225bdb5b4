// The update, the check, the listing; the look at the ports is IdentifyJob's.
#include "console/run/ConsoleRun.h"

#include <algorithm>
#include <memory>

#include "base/ProductNames.h"
#include "console/run/IdentifyJob.h"
#include "console/run/Package.h"
#include "console/run/PortChoice.h"
#include "console/run/SeveralPorts.h"
#include "console/run/Station.h"
#include "console/run/UpdateJob.h"
#include "console/run/UpdateRun.h"
#include "console/view/RunView.h"
#include "console/words/ExitCodes.h"
#include "console/words/Text.h"
#include "update/HexFileCheck.h"

namespace console {

int RunUpdate(const Options& options, Platform& platform, const Stream& out, const Stream& err) {
    UpdateJob job;
    const int prepared = PrepareJob(options, platform, out, err, &job);
    if (prepared != kExitSuccess) {
        return prepared;
    }
    const std::string& port = job.ports.front();
    std::unique_ptr<RunView> view;
    if (out.terminal) {
        view = std::make_unique<BarView>(out.file, platform.clock(), out.width, out.cursorMovement);
    } else {
        view = std::make_unique<LineView>(out.file, platform.clock());
    }
    UpdateRun run(platform, *view, port);
    if (!options.trace.empty()) {
        const std::string problem = StartTrace(run, options.trace);
        if (!problem.empty()) {
            std::fprintf(err.file, "%s\n", problem.c_str());
            return kExitUsage;
        }
    }
    RunResult result;
    if (job.refused) {
        result = run.refused(job.refusal);
    } else {
        view->note("Updating the " DEVICE_NAME " through " + Escaped(port));
        result = run.run(job.package, job.checked);
    }
    const Stream& to = result.outcome.ok() ? out : err;
    for (const std::string& line : result.report.Lines()) {
        Say(to, line);
    }
    if (result.outcome.ok() && !platform.rememberPort(port)) {
        Say(err, std::string(CONSOLE_PROGRAM_NAME ": the port could not be remembered in ") +
                     platform.settingsPlace() + ".");
    }
    return FinishJob(options, platform, job, {result}, result.report.exitCode, out, err);
}

int RunCheck(const Options& options, Platform& platform, const Stream& out, const Stream& err) {
    UpdateJob job;
    ReadJobPackage(options, platform, out, &job);
    const Package& package = job.package;
    if (!package.ok()) {
        Say(err, CONSOLE_PROGRAM_NAME ": " + DescribePackageProblem(package) + ".");
        Say(err, "Package check failed.");
        return kExitPackage;
    }
    const update::HexFileSummary& summary = job.checked;
    if (!summary.ok()) {
        Say(err, "Package check failed: " + summary.problem.Describe() + ".");
        if (!summary.problem.rowText.empty()) {
            // The row as the check shows it: non-printing characters already escaped.
            Say(err, "    row " + std::to_string(summary.problem.row) + ": \"" +
                         summary.problem.rowText + "\"");
        }
        return kExitPackage;
    }
    Say(out, "HEX file: " + std::to_string(summary.rows) + " rows, " +
                 std::to_string(summary.dataRecords) + " data records with " +
                 std::to_string(summary.dataBytes) + " bytes, ending in the end-of-file record; " +
                 "SHA-256 " + package.hexSha256 + ".");
    Say(out, "Package check passed.");
    return kExitSuccess;
}

int ListPorts(const Options& options, Platform& platform, const Stream& out) {
    serial::Ports& ports = platform.ports();
    const std::string remembered = platform.rememberedPort();
    const std::vector<serial::PortInfo> all = ports.list();
    const std::vector<serial::PortInfo> present = serial::Filtered(options.portFilters, all);
    if (all.empty()) {
        Say(out, "No serial ports found.");
    } else if (present.empty()) {
        Say(out, "No serial port passes " + FilterList(options) + ".");
    }
    int widest = 0;
    for (const serial::PortInfo& p : present) {
        widest = std::max(widest, Columns(Escaped(p.name)));
    }
    for (const serial::PortInfo& p : present) {
        std::string tail;
        if (!p.description.empty()) {
            tail += "  " + Escaped(p.description);
        }
        if (!remembered.empty() && ports.identity(p.name) == ports.identity(remembered)) {
            tail += "  [remembered]";
        }
        const std::string line =
            tail.empty() ? Escaped(p.name) : PaddedRight(Escaped(p.name), widest) + tail;
        std::fprintf(out.file, "%s\n", line.c_str());
        if (!p.alias.empty()) {
            std::fprintf(out.file, "%s  also %s\n",
                         std::string(static_cast<std::size_t>(widest), ' ').c_str(),
                         Escaped(p.alias).c_str());
        }
    }
    Say(out, "Remembered port: " + (remembered.empty() ? "none" : Escaped(remembered)) +
                 " (kept in " + platform.settingsPlace() + ")");
    return kExitSuccess;
}

int RunConsole(const Options& options, Platform& platform, std::FILE* outFile, std::FILE* errFile) {
    const Stream out = platform.stream(outFile);
    const Stream err = platform.stream(errFile);
    if (options.listPorts) {
        return ListPorts(options, platform, out);
    }
    if (options.check) {
        return RunCheck(options, platform, out, err);
    }
    // A port that can never be opened is a mistake of the command line, told before anything;
    // from here on every port is in the form the system opens.
    Options resolved = options;
    for (std::string& port : resolved.ports) {
        std::string name;
        std::string error;
        if (!platform.ports().canonicalName(port, &name, &error)) {
            Say(err, CONSOLE_PROGRAM_NAME ": " + error);
            return kExitUsage;
        }
        port = name;
    }
    if (resolved.identify) {
        return RunIdentify(resolved, platform, out, err);
    }
    if (resolved.watch) {
        return RunStation(resolved, platform, out, err);
    }
    if (resolved.severalPorts()) {
        return RunSeveralPorts(resolved, platform, out, err);
    }
    return RunUpdate(resolved, platform, out, err);
}

} // namespace console

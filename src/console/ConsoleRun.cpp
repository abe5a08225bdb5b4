// The update, the check and the listing.
#include "console/ConsoleRun.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "console/ExitCodes.h"
#include "console/Package.h"
#include "console/PortChoice.h"
#include "console/RunView.h"
#include "console/SeveralPorts.h"
#include "console/Text.h"
#include "console/UpdateJob.h"
#include "console/UpdateRun.h"
#include "update/HexFileCheck.h"

namespace console {

namespace {

const char* const kProgram = "keystrand-update";

std::string PackageDir(const Options& options, Platform& platform) {
    return options.packageDir.empty() ? platform.programDir()
                                      : platform.folderPrefix(options.packageDir);
}

} // namespace

int RunUpdate(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    UpdateJob job;
    const int prepared = PrepareJob(options, platform, out, err, &job);
    if (prepared != kExitSuccess) {
        return prepared;
    }
    const std::string& port = job.ports.front();
    std::unique_ptr<RunView> view;
    if (platform.isTerminal(out)) {
        view = std::make_unique<BarView>(
            out, platform.clock(), [&platform, out] { return platform.terminalWidth(out); },
            platform.enableCursorMovement(out));
    } else {
        view = std::make_unique<LineView>(out, platform.clock());
    }
    UpdateRun run(platform, *view, port);
    if (!options.trace.empty() && !StartTrace(run, options.trace, err)) {
        return kExitUsage;
    }
    RunResult result;
    if (job.refused) {
        result = run.refused(job.refusal);
    } else {
        view->note("Updating the Keystrand SM through " + Escaped(port));
        result = run.run(job.package, job.checked);
    }
    std::FILE* to = result.outcome.ok() ? out : err;
    for (const std::string& line : result.report.Lines()) {
        Say(platform, to, line);
    }
    if (result.outcome.ok() && !platform.rememberPort(port)) {
        Say(platform, err,
            std::string(kProgram) + ": the port could not be remembered in " +
                platform.settingsPlace() + ".");
    }
    return FinishJob(options, platform, job, {result}, result.report.exitCode, out, err);
}

int RunCheck(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    const Package package =
        ReadPackage(PackageDir(options, platform),
                    [&](const std::string& path) { return platform.whyUnreadable(path); });
    if (package.versionRead()) {
        Say(platform, out,
            "Firmware version " + Quoted(package.version) +
                (package.hexName.empty() ? "" : ", HEX file " + Quoted(package.hexName)));
    }
    if (!package.ok()) {
        Say(platform, err, std::string(kProgram) + ": " + DescribePackageProblem(package) + ".");
        Say(platform, err, "Package check failed.");
        return kExitPackage;
    }
    base::TextFile text;
    text.OpenText(package.hexText);
    const update::HexFileSummary summary = update::CheckHexRows(text);
    if (!summary.ok()) {
        Say(platform, err, "Package check failed: " + summary.problem.Describe() + ".");
        if (!summary.problem.rowText.empty()) {
            // The row as the check shows it: non-printing characters already escaped.
            Say(platform, err,
                "    row " + std::to_string(summary.problem.row) + ": \"" +
                    summary.problem.rowText + "\"");
        }
        return kExitPackage;
    }
    Say(platform, out,
        "HEX file: " + std::to_string(summary.rows) + " rows, " +
            std::to_string(summary.dataRecords) + " data records with " +
            std::to_string(summary.dataBytes) + " bytes, ending in the end-of-file record; " +
            "SHA-256 " + package.hexSha256 + ".");
    Say(platform, out, "Package check passed.");
    return kExitSuccess;
}

int ListPorts(Platform& platform, std::FILE* out) {
    const std::string remembered = platform.rememberedPort();
    const std::vector<serial::PortInfo> ports = platform.ports();
    if (ports.empty()) {
        Say(platform, out, "No serial ports found.");
    }
    int widest = 0;
    for (const serial::PortInfo& p : ports) {
        widest = std::max(widest, Columns(Escaped(p.name)));
    }
    for (const serial::PortInfo& p : ports) {
        std::string tail;
        if (!p.description.empty()) {
            tail += "  " + Escaped(p.description);
        }
        if (!remembered.empty() &&
            platform.portIdentity(p.name) == platform.portIdentity(remembered)) {
            tail += "  [remembered]";
        }
        const std::string line =
            tail.empty() ? Escaped(p.name) : PaddedRight(Escaped(p.name), widest) + tail;
        std::fprintf(out, "%s\n", line.c_str());
        if (!p.alias.empty()) {
            std::fprintf(out, "%s  also %s\n",
                         std::string(static_cast<std::size_t>(widest), ' ').c_str(),
                         Escaped(p.alias).c_str());
        }
    }
    Say(platform, out,
        "Remembered port: " + (remembered.empty() ? "none" : Escaped(remembered)) + " (kept in " +
            platform.settingsPlace() + ")");
    return kExitSuccess;
}

int RunConsole(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    if (options.listPorts) {
        return ListPorts(platform, out);
    }
    if (options.check) {
        return RunCheck(options, platform, out, err);
    }
    // A port that can never be opened is a mistake of the command line, told before anything.
    for (const std::string& text : options.ports) {
        std::string name;
        std::string error;
        if (!platform.portName(text, &name, &error)) {
            Say(platform, err, std::string(kProgram) + ": " + error);
            return kExitUsage;
        }
    }
    if (options.severalPorts()) {
        return RunSeveralPorts(options, platform, out, err);
    }
    return RunUpdate(options, platform, out, err);
}

} // namespace console

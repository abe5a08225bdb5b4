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

void Say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s\n", line.c_str());
}

bool ReadUsablePackage(const Options& options, Platform& platform, std::FILE* out, std::FILE* err,
                       Package* package) {
    *package = ReadPackage(PackageDir(options, platform),
                           [&](const std::string& path) { return platform.whyUnreadable(path); });
    if (package->versionRead()) {
        Say(out, "Firmware version " + Quoted(package->version) +
                     (package->hexName.empty() ? "" : ", HEX file " + Quoted(package->hexName)));
    }
    if (!package->ok()) {
        Say(err, std::string(kProgram) + ": " + DescribePackageProblem(*package) + ".");
        return false;
    }
    return true;
}

int RunUpdate(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    Package package;
    if (!ReadUsablePackage(options, platform, out, err, &package)) {
        Say(err, "Nothing was sent to the device: it is unchanged.");
        return kExitPackage;
    }
    const PortChoice choice = ChoosePorts(options, platform);
    if (choice.ports.empty()) {
        Say(err, std::string(kProgram) + ": " + choice.problem);
        return choice.exitCode;
    }
    const std::string& port = choice.ports.front();

    std::unique_ptr<RunView> view;
    if (platform.isTerminal(out)) {
        view = std::make_unique<BarView>(out, platform.clock(),
                                         [&platform, out] { return platform.terminalWidth(out); });
    } else {
        view = std::make_unique<LineView>(out, platform.clock());
    }
    RunRequest request;
    request.port = port;
    request.hexPath = package.hexPath;
    request.hexName = package.hexName;
    UpdateRun run(platform, *view, port);
    if (!options.trace.empty() &&
        !run.traceTo(options.trace,
                     TraceHeader(request, platform.describePort(port), VersionText(kProgram)))) {
        const int error = errno; // from the trace file's creation
        Say(err, std::string(kProgram) + ": cannot create the trace file " + Quoted(options.trace) +
                     ": " + std::strerror(error));
        return kExitUsage;
    }

    view->note("Updating the Keystrand SM through " + Escaped(port));
    const RunResult result = run.run(request);
    std::FILE* to = result.outcome.ok() ? out : err;
    for (const std::string& line : result.report.Lines()) {
        Say(to, line);
    }
    if (result.outcome.ok() && !platform.rememberPort(port)) {
        Say(err, std::string(kProgram) + ": the port could not be remembered in " +
                     platform.settingsPlace() + ".");
    }
    return result.report.exitCode;
}

int RunCheck(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    Package package;
    if (!ReadUsablePackage(options, platform, out, err, &package)) {
        Say(err, "Package check failed.");
        return kExitPackage;
    }
    const update::HexFileSummary summary = update::CheckHexFile(package.hexPath);
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
                 std::to_string(summary.dataBytes) + " bytes, ending in the end-of-file record.");
    Say(out, "Package check passed.");
    return kExitSuccess;
}

int ListPorts(Platform& platform, std::FILE* out) {
    const std::string remembered = platform.rememberedPort();
    const std::vector<serial::PortInfo> ports = platform.ports();
    if (ports.empty()) {
        Say(out, "No serial ports found.");
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
        Say(out, line);
        if (!p.alias.empty()) {
            Say(out,
                std::string(static_cast<std::size_t>(widest), ' ') + "  also " + Escaped(p.alias));
        }
    }
    Say(out, "Remembered port: " + (remembered.empty() ? "none" : Escaped(remembered)) +
                 " (kept in " + platform.settingsPlace() + ")");
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
            Say(err, std::string(kProgram) + ": " + error);
            return kExitUsage;
        }
    }
    if (options.severalPorts()) {
        return RunSeveralPorts(options, platform, out, err);
    }
    return RunUpdate(options, platform, out, err);
}

} // namespace console

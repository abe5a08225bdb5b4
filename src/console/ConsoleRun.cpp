// The update, the check and the listing.
#include "console/ConsoleRun.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "console/ExitCodes.h"
#include "console/Package.h"
#include "console/PortChoice.h"
#include "console/Printable.h"
#include "console/RememberedPort.h"
#include "console/RunView.h"
#include "console/SeveralPorts.h"
#include "console/UpdateRun.h"
#include "update/HexFileCheck.h"

namespace console {

namespace {

const char* const kProgram = "keystrand-update";

std::string PackageDir(const Options& options, Platform& platform) {
    return options.packageDir.empty() ? platform.programDir()
                                      : platform.folderPrefix(options.packageDir);
}

void Say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s\n", line.c_str());
}

} // namespace

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
    const PortChoice choice = ChoosePort(options, platform, ReadRememberedPort(platform.profile()));
    if (choice.number == 0) {
        Say(err, std::string(kProgram) + ": " + choice.problem);
        return kExitPort;
    }

    std::unique_ptr<RunView> view;
    if (platform.isTerminal(out)) {
        view = std::make_unique<BarView>(out, platform.clock(),
                                         [&platform, out] { return platform.terminalWidth(out); });
    } else {
        view = std::make_unique<LineView>(out, platform.clock());
    }
    RunRequest request;
    request.port = choice.number;
    request.portName = choice.name;
    request.hexPath = package.hexPath;
    request.hexName = package.hexName;
    UpdateRun run(platform, *view);
    if (!options.traceFile.empty() &&
        !run.traceTo(options.traceFile, TraceHeader(request, platform.devicePath(choice.number),
                                                    VersionText(kProgram)))) {
        const int error = errno; // from the trace file's creation
        Say(err, std::string(kProgram) + ": cannot create the trace file " +
                     Quoted(options.traceFile) + ": " + std::strerror(error));
        return kExitUsage;
    }

    view->note("Updating the Keystrand SM through " + choice.name);
    const RunResult result = run.run(request);
    std::FILE* to = result.outcome.ok() ? out : err;
    for (const std::string& line : result.report.Lines()) {
        Say(to, line);
    }
    if (result.outcome.ok() && !RememberPort(platform.profile(), choice.number)) {
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
    const int remembered = ReadRememberedPort(platform.profile());
    const std::vector<PortListing> ports = platform.ports();
    if (ports.empty()) {
        Say(out, "No serial ports found.");
    }
    for (const PortListing& p : ports) {
        const std::string name = p.number > 0 ? "COM" + std::to_string(p.number) : "--";
        std::string line = name;
        line.append(name.size() < 7 ? 7 - name.size() : 1, ' ');
        line += p.path;
        if (!p.note.empty()) {
            line += "   (" + p.note + ")";
        }
        if (p.number > 0 && p.number == remembered) {
            line += "   [remembered]";
        }
        Say(out, line);
    }
    Say(out, "Remembered port: " + (remembered > 0 ? "COM" + std::to_string(remembered) : "none") +
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
    if (options.severalPorts()) {
        return RunSeveralPorts(options, platform, out, err);
    }
    return RunUpdate(options, platform, out, err);
}

} // namespace console

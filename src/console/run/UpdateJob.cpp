// Before and after the runs of an update.
#include "console/run/UpdateJob.h"

#include <cerrno>
#include <cstring>

#include "base/ProductNames.h"
#include "console/run/PortChoice.h"
#include "console/run/RecordFile.h"
#include "console/words/ExitCodes.h"
#include "console/words/Record.h"
#include "console/words/Text.h"

namespace console {

namespace {

// The words of a package that cannot be sent, as one update would say them.
OutcomeReport PackageRefusal(const Options& options, const UpdateJob& job) {
    if (!job.package.ok()) {
        OutcomeReport r;
        r.exitCode = kExitPackage;
        r.headline = CONSOLE_PROGRAM_NAME ": " + DescribePackageProblem(job.package) + ".";
        r.deviceState = "Nothing was sent to the device: it is unchanged.";
        if (options.packageDir.empty() &&
            job.package.problem == Package::Problem::kDescriptionUnreadable) {
            r.advice.push_back("Give the package's folder with --package DIR.");
        }
        return r;
    }
    update::Outcome refused;
    refused.failure = update::Failure::kPackage;
    refused.package = job.checked.problem;
    RunContext context;
    context.hexName = job.package.hexName;
    return DescribeOutcome(refused, context);
}

UpdateRecord RecordOf(Platform& platform, const UpdateJob& job, const std::string& port,
                      const RunResult& result) {
    const update::Outcome& o = result.outcome;
    UpdateRecord r = RecordOnThisMachine(platform);
    r.started = result.started;
    r.port = port;
    r.device = result.device;
    r.packageVersion = job.package.version;
    r.hexFile = job.package.hexName;
    r.hexSha256 = job.package.hexSha256;
    r.deviceSerial = DeviceSerial(o.identity);
    r.bootLoaderVersion = o.bootLoaderVersion;
    r.rowsSent = o.rowsSent;
    r.rowsTotal = job.checked.rows;
    r.dataBytes = job.checked.dataBytes;
    r.seconds = result.elapsedMs / 1000.0;
    r.exitCode = result.report.exitCode;
    r.outcome = OutcomeWord(r.exitCode);
    r.deviceState = DeviceStateWord(o.device);
    r.message = result.report.headline;
    return r;
}

} // namespace

std::string PackageDir(const Options& options, Platform& platform) {
    return options.packageDir.empty() ? platform.programDir()
                                      : platform.folderPrefix(options.packageDir);
}

void ReadJobPackage(const Options& options, Platform& platform, const Stream& out, UpdateJob* job) {
    job->package = ReadPackage(PackageDir(options, platform), [&](const std::string& path) {
        return platform.whyUnreadable(path);
    });
    const Package& p = job->package;
    if (p.versionRead()) {
        Say(out, "Firmware version " + Quoted(p.version) +
                     (p.hexName.empty() ? "" : ", HEX file " + Quoted(p.hexName)));
    }
    if (p.ok()) {
        base::TextFile text;
        text.OpenText(p.hexText);
        job->checked = update::CheckHexRows(text);
    }
    job->refused = !p.ok() || !job->checked.ok();
    if (job->refused) {
        job->refusal = PackageRefusal(options, *job);
    }
}

int PrepareJob(const Options& options, Platform& platform, const Stream& out, const Stream& err,
               UpdateJob* job) {
    ReadJobPackage(options, platform, out, job);
    const PortChoice chosen = ChoosePorts(options, platform);
    if (chosen.ports.empty()) {
        if (job->refused) {
            for (const std::string& line : job->refusal.Lines()) {
                Say(err, line);
            }
            return job->refusal.exitCode;
        }
        Say(err, CONSOLE_PROGRAM_NAME ": " + chosen.problem);
        return chosen.exitCode;
    }
    job->ports = chosen.ports;
    return kExitSuccess;
}

std::string StartTrace(UpdateRun& run, const std::string& path) {
    if (run.traceTo(path, VersionText(CONSOLE_PROGRAM_NAME))) {
        return std::string();
    }
    const int error = errno; // from the trace file's creation
    return CONSOLE_PROGRAM_NAME ": cannot create the trace file " + Quoted(path) + ": " +
           std::strerror(error);
}

std::string AppendUpdateRecord(const Options& options, Platform& platform, const UpdateJob& job,
                               const std::string& port, const RunResult& result) {
    if (options.report.empty()) {
        return std::string();
    }
    return AppendRecord(platform, options.report, port, RecordOf(platform, job, port, result));
}

void TellChangedHexFile(const UpdateJob& job, const Stream& out) {
    if (job.refused) {
        return;
    }
    std::string now;
    bool tooLarge = false;
    if (!ReadWholeFile(job.package.hexPath, kMaxHexFileBytes, &now, &tooLarge) ||
        now != job.package.hexText) {
        Say(out, "The HEX file " + Quoted(job.package.hexPath) +
                     " changed on disk while the update ran. What was sent is the file as it was "
                     "read and checked before the update began (SHA-256 " +
                     job.package.hexSha256 + ").");
    }
}

int FinishJob(const Options& options, Platform& platform, const UpdateJob& job,
              const std::vector<RunResult>& results, int exitCode, const Stream& out,
              const Stream& err) {
    TellChangedHexFile(job, out);
    for (std::size_t i = 0; i < results.size() && i < job.ports.size(); ++i) {
        const std::string problem =
            AppendUpdateRecord(options, platform, job, job.ports[i], results[i]);
        if (!problem.empty()) {
            Say(err, problem);
            exitCode = kExitOther;
        }
    }
    return exitCode;
}

} // namespace console

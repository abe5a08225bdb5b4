// An update of one port or of several: what comes before any port is touched (the package read
// and checked once, the ports chosen) and what follows the last (the records, a word on a HEX
// file that changed on disk meanwhile), the same for both.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "console/os/Platform.h"
#include "console/run/Options.h"
#include "console/run/Package.h"
#include "console/run/UpdateRun.h"
#include "console/words/OutcomeWording.h"
#include "update/HexFileCheck.h"

namespace console {

struct UpdateJob {
    Package package;
    update::HexFileSummary checked;
    std::vector<std::string> ports;
    // Set when the package cannot be sent: told once, and every port's run is refused with it.
    bool refused = false;
    OutcomeReport refusal;
};

// Reads the package (its version told on out) and checks it; a package that cannot be sent is
// described in job->refusal.
void ReadJobPackage(const Options& options, Platform& platform, const Stream& out, UpdateJob* job);

// Reads the package (its version told on out) and chooses the ports. When no port is chosen
// the problem is told on err (the package's first, where it has one) and its exit code
// returned; else 0, with a package that cannot be sent described in job->refusal.
int PrepareJob(const Options& options, Platform& platform, const Stream& out, const Stream& err,
               UpdateJob* job);

// The trace file of a port: empty when it was created, else the problem in words
// ("keystrand-update: cannot create the trace file ...").
std::string StartTrace(UpdateRun& run, const std::string& path);

// Appends the record of the update through the port to --report, when asked for: empty when it
// was written or none was asked for, else the problem in words.
std::string AppendUpdateRecord(const Options& options, Platform& platform, const UpdateJob& job,
                               const std::string& port, const RunResult& result);

// A HEX file that changed on disk since it was read is told on out: what was sent is what was
// checked.
void TellChangedHexFile(const UpdateJob& job, const Stream& out);

// After the runs: a HEX file that changed on disk while they ran is told on out (what was sent
// is what was checked); each run's record is appended to --report. Returns the exit code: the
// given one, or 1 when a record could not be written (told on err).
int FinishJob(const Options& options, Platform& platform, const UpdateJob& job,
              const std::vector<RunResult>& results, int exitCode, const Stream& out,
              const Stream& err);

// The folder the package is read from, ready to have a file name appended: --package, else the
// program's own folder.
std::string PackageDir(const Options& options, Platform& platform);

} // namespace console

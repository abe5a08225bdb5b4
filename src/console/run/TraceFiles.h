// Where the traces of several updates go: one file per update in the --trace folder, named after
// its port, never two updates in one file.
#pragma once
#include <ctime>
#include <string>
#include <vector>

namespace console {

// The trace folder, made when missing; false (with errno) when it cannot be, or when a file that
// is no folder has its name.
bool MakeTraceFolder(const std::string& path);
// The --trace folder made where one is asked for: empty when it is there (or none is asked
// for), else the problem in words ("keystrand-update: cannot make the trace folder ...").
std::string TraceFolderProblem(const std::string& path);

// The trace file of each port, in the folder: trace-<the port's last name part>.log, a number
// added where two ports end alike. Never "COM3.log": Windows takes any name that begins "COM3."
// for the port itself.
std::vector<std::string> TraceNames(const std::string& folderPrefix,
                                    const std::vector<std::string>& ports);

// The trace file of one update among many through the same port over time, named by when it
// began (UTC): trace-ttyUSB0-20261207-164030.log; a number added where that file exists, so that
// no update's trace is written over, not even one of an earlier run.
std::string DatedTraceName(const std::string& folderPrefix, const std::string& port,
                           std::time_t began);

} // namespace console

// The end of an update of several devices at once: the table of the ports' outcomes and the
// one exit code for them all.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace console {

// How the update through one port ended.
struct PortSummary {
    std::string name;    // the port as the user knows it
    int exitCode = 0;    // as for an update of this device alone
    std::string outcome; // the headline of its outcome, as for an update of this device alone
    int rowsSent = 0;
    int totalRows = 0;
    std::uint32_t elapsedMs = 0;
    bool ran = true;          // false: no update was begun on it (no rows, no time)
    std::string deviceSerial; // the device's serial number where its identity was read
};

// "0.8 s".
std::string Seconds(std::uint32_t ms);

// The worst of several exit codes: a stop by a signal (128 + its number) first, then 1 (the
// program failed), 6 (transfer), 5 (device entry), 4 (port), 3 (package), 2, and 0 last.
int WorstExitCode(const std::vector<int>& codes);

// Updates counted in the last line of the table without a row of their own (a station's
// earliest, beyond what the table keeps).
struct EarlierUpdates {
    int count = 0;
    int updated = 0;
    int worstExitCode = 0;
};

// A header and one row per port, the outcome last since it is the longest:
//   Port          Rows    Time    Outcome
//   /dev/ttyUSB0  13/13   0.8 s   The Keystrand SM firmware has been successfully updated.
// then "3 of 4 devices updated; exit code 6." Rows are those the device confirmed. With the
// terminal's columns given, an outcome that does not fit goes on under its column, broken
// between words; 0: each row on one line. Earlier updates are said before the table and
// counted in its last line.
std::vector<std::string> SummaryTable(const std::vector<PortSummary>& ports, int columns = 0,
                                      const EarlierUpdates& earlier = EarlierUpdates());

} // namespace console

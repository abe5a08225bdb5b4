// console::UpdateRun: one update of one device through one port, on the engine, with its own
// line, waits, view and trace. Several can run at once, one per port: they share nothing but
// the platform, the package (read only) and the stop flag.
#pragma once
#include <ctime>
#include <memory>
#include <string>

#include "console/os/Platform.h"
#include "console/run/Package.h"
#include "console/view/RunView.h"
#include "console/words/OutcomeWording.h"
#include "serial/TracedLine.h"
#include "update/HexFileCheck.h"
#include "update/UpdateOutcome.h"

namespace console {

struct RunResult {
    update::Outcome outcome;
    OutcomeReport report;
    std::string device;      // what the system said of the device behind the port as the run began
    std::time_t started = 0; // when the update began, by the calendar
    std::uint32_t elapsedMs = 0;
};

class UpdateRun {
public:
    UpdateRun(Platform& platform, RunView& view, const std::string& port);
    ~UpdateRun();
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    const std::string& port() const { return m_port; }

    // Logs the update to a file, headed by the program, the date and the port with the device
    // behind it; false when the file cannot be created. Before run.
    bool traceTo(const std::string& path, const std::string& version);

    // The whole update of the package's checked bytes; the line is closed at the end, whatever
    // the outcome. Stops at the next wait once a stop signal has arrived.
    RunResult run(const Package& package, const update::HexFileSummary& checked);
    // No update was begun (the package cannot be used): the trace ends with this report.
    RunResult refused(const OutcomeReport& report);

private:
    Platform& m_platform;
    RunView& m_view;
    std::string m_port;
    std::string m_device; // what the system says of the device behind the port, at the start
    std::unique_ptr<serial::Line> m_line;
    std::unique_ptr<serial::TracedLine> m_trace;
};

} // namespace console

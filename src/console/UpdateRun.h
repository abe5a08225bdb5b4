// console::UpdateRun: one update of one device through one port, on the engine, with its own
// line, waits, view and trace. Several can run at once, one per port: they share nothing but
// the platform and the stop flag.
#pragma once
#include <memory>
#include <string>

#include "console/OutcomeWording.h"
#include "console/Platform.h"
#include "console/RunView.h"
#include "console/Trace.h"
#include "fw/TextFile.h"
#include "update/HexFileCheck.h"
#include "update/UpdateOutcome.h"

namespace console {

struct RunRequest {
    std::string port;    // as the system opens it, and as the user knows it
    std::string hexPath; // the HEX file to send
    std::string hexName; // its name in the description file
    // Several updates of one package at once: how they open the HEX file (null: exclusively),
    // and its check, made once before any of them began (null: each update checks it).
    fw::FileOpener* files = nullptr;
    const update::HexFileSummary* checkedPackage = nullptr;
};

struct RunResult {
    update::Outcome outcome;
    OutcomeReport report;
};

class UpdateRun {
public:
    UpdateRun(Platform& platform, RunView& view, const std::string& port);
    ~UpdateRun();
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // Logs the update to a file, headed by the header's lines; false when the file cannot be
    // created. Before run.
    bool traceTo(const std::string& path, const std::string& header);

    // The whole update; the line is closed at the end, whatever the outcome. Stops at the next
    // wait once a stop signal has arrived.
    RunResult run(const RunRequest& request);

private:
    Platform& m_platform;
    RunView& m_view;
    std::unique_ptr<serial::Line> m_line;
    std::unique_ptr<Trace> m_trace;
};

// The trace's header: the program and its version, the date, the port with the device behind
// it, the package.
std::string TraceHeader(const RunRequest& request, const std::string& device,
                        const std::string& version);

} // namespace console

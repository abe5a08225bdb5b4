// One update on the engine: the port's own line, blocking waits, the view and the trace as the
// session's observers, and the outcome put into words.
#include "console/run/UpdateRun.h"

#include <ctime>

#include "console/os/StopSignal.h"
#include "console/words/Text.h"
#include "update/BlockingWaits.h"
#include "update/UpdateSession.h"

namespace console {

namespace {

std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[64] = {};
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    return text;
}

} // namespace

UpdateRun::UpdateRun(Platform& platform, RunView& view, const std::string& port)
    : m_platform(platform), m_view(view), m_port(port), m_device(platform.ports().describe(port)),
      m_line(platform.ports().line(port)) {}

UpdateRun::~UpdateRun() = default;

bool UpdateRun::traceTo(const std::string& path, const std::string& version) {
    m_trace = std::make_unique<serial::TracedLine>(*m_line, m_platform.clock());
    const std::string header = version + " trace, " + Now() + "\nport " + Escaped(m_port) +
                               (m_device.empty() ? "" : " = " + Escaped(m_device));
    if (!m_trace->startLog(path, header)) {
        m_trace.reset();
        return false;
    }
    return true;
}

RunResult UpdateRun::run(const Package& package, const update::HexFileSummary& checked) {
    RunResult result;
    result.started = std::time(nullptr);
    result.device = m_device;
    const std::uint32_t start = m_platform.clock().getTickCount();
    if (m_trace) {
        m_trace->note("HEX file " + Escaped(package.hexPath) + ", " +
                      std::to_string(package.hexText.size()) + " bytes, " +
                      std::to_string(checked.rows) + " rows, SHA-256 " + package.hexSha256);
        m_trace->note("line 9600 8N1 to the application firmware, 115200 8N1 to the boot loader");
    }
    serial::Line& line = m_trace ? static_cast<serial::Line&>(*m_trace) : *m_line;
    update::BlockingWaits waits(
        m_platform.clock(), [] { return StopSignal() != 0; }, [this] { m_view.idle(); });
    update::UpdateSession session(line, waits, m_view);
    update::FirmwarePackage firmware;
    firmware.hexPath = package.hexPath;
    firmware.hexText = &package.hexText;
    firmware.checked = &checked;
    result.outcome = session.Run(firmware);
    m_view.finish(result.outcome.ok());

    RunContext context;
    context.portName = Escaped(m_port); // a path may hold any byte
    context.hexName = package.hexName;
    context.modemStatusRead = m_view.modemStatusRead();
    context.dsrOn = m_view.dsrOn();
    context.stopSignal = StopSignal();
    if (result.outcome.failure == update::Failure::kPortOpen) {
        context.openAdvice = m_platform.ports().openAdvice(m_port, result.outcome.openError);
    }
    result.report = DescribeOutcome(result.outcome, context);
    result.elapsedMs = base::TicksSince(m_platform.clock(), start);
    if (m_trace) {
        m_trace->endLog(result.report.headline + " (exit code " +
                        std::to_string(result.report.exitCode) + ")");
    }
    return result;
}

RunResult UpdateRun::refused(const OutcomeReport& report) {
    RunResult result;
    result.started = std::time(nullptr);
    result.device = m_device;
    result.outcome.failure = update::Failure::kPackage;
    result.report = report;
    if (m_trace) {
        m_trace->endLog(report.headline + " (exit code " + std::to_string(report.exitCode) + ")");
    }
    return result;
}

} // namespace console

// One update on the engine: the port's own line, blocking waits, the view and the trace as the
// session's observers, and the outcome put into words.
#include "console/UpdateRun.h"

#include <ctime>

#include "console/BlockingWaits.h"
#include "console/StopSignal.h"
#include "console/Text.h"
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

std::string TraceHeader(const RunRequest& request, const std::string& device,
                        const std::string& version) {
    return version + " trace, " + Now() + "\n" + "port " + Escaped(request.port) +
           (device.empty() ? "" : " = " + Escaped(device)) + "\n" + "HEX file " +
           Escaped(request.hexPath) + "\n" +
           "line 9600 8N1 to the application firmware, 115200 8N1 to the boot loader";
}

UpdateRun::UpdateRun(Platform& platform, RunView& view, const std::string& port)
    : m_platform(platform), m_view(view), m_line(platform.makeLine(port)) {}

UpdateRun::~UpdateRun() = default;

bool UpdateRun::traceTo(const std::string& path, const std::string& header) {
    m_trace = std::make_unique<Trace>(*m_line, m_platform.clock());
    if (!m_trace->startLog(path, header)) {
        m_trace.reset();
        return false;
    }
    return true;
}

RunResult UpdateRun::run(const RunRequest& request) {
    serial::Line& line = m_trace ? static_cast<serial::Line&>(*m_trace) : *m_line;
    BlockingWaits waits(
        m_platform.clock(), [] { return StopSignal() != 0; }, [this] { m_view.idle(); });
    update::UpdateSession session(line, waits, m_view);
    update::FirmwarePackage package;
    package.hexPath = request.hexPath;
    package.files = request.files;
    package.checked = request.checkedPackage;

    RunResult result;
    result.outcome = session.Run(package);
    m_view.finish(result.outcome.ok());

    RunContext context;
    context.portName = Escaped(request.port); // a path may hold any byte
    context.hexName = request.hexName;
    context.modemStatusRead = m_view.modemStatusRead();
    context.dsrOn = m_view.dsrOn();
    context.stopSignal = StopSignal();
    if (result.outcome.failure == update::Failure::kPortOpen) {
        context.openAdvice = m_platform.openAdvice(request.port, result.outcome.openError);
    }
    result.report = DescribeOutcome(result.outcome, context);
    if (m_trace) {
        m_trace->endLog(result.report.headline + " (exit code " +
                        std::to_string(result.report.exitCode) + ")");
    }
    return result;
}

} // namespace console

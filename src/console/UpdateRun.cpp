// One update on the engine: the port's own line, blocking waits, the view and the trace as the
// session's observers, and the outcome put into words.
#include "console/UpdateRun.h"

#include <ctime>
#include <vector>

#include "console/BlockingWaits.h"
#include "console/StopSignal.h"
#include "console/Text.h"
#include "update/UpdateSession.h"

namespace console {

namespace {

// Hands every event to the view and the trace, and keeps what the wording needs.
class Observers : public update::UpdateObserver {
public:
    Observers(update::UpdateObserver& view, update::UpdateObserver* trace)
        : m_list{&view, trace != nullptr ? trace : &m_none} {}

    void stageChanged(update::Stage s) override {
        for (auto* o : m_list)
            o->stageChanged(s);
    }
    void packageChecked(const update::HexFileSummary& s) override {
        for (auto* o : m_list)
            o->packageChecked(s);
    }
    void portOpened() override {
        for (auto* o : m_list)
            o->portOpened();
    }
    void modemStatus(bool statusRead, bool dsrOn) override {
        statusWasRead = statusRead;
        dsrWasOn = dsrOn;
        for (auto* o : m_list)
            o->modemStatus(statusRead, dsrOn);
    }
    void waitStarted(update::Stage s, DWORD limitMs) override {
        for (auto* o : m_list)
            o->waitStarted(s, limitMs);
    }
    void bootLoaderVersion(const std::string& v) override {
        for (auto* o : m_list)
            o->bootLoaderVersion(v);
    }
    void rowsCounted(int total) override {
        for (auto* o : m_list)
            o->rowsCounted(total);
    }
    void rowSent(int row, int total, std::size_t length) override {
        for (auto* o : m_list)
            o->rowSent(row, total, length);
    }

    bool statusWasRead = true;
    bool dsrWasOn = false;

private:
    update::UpdateObserver m_none;
    update::UpdateObserver* m_list[2];
};

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
    Observers observers(m_view, m_trace.get());
    serial::Line& line = m_trace ? static_cast<serial::Line&>(*m_trace) : *m_line;
    BlockingWaits waits(
        m_platform.clock(), [] { return StopSignal() != 0; }, [this] { m_view.idle(); });
    update::UpdateSession session(line, waits, observers);
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
    context.modemStatusRead = observers.statusWasRead;
    context.dsrOn = observers.dsrWasOn;
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

// One update on the engine: the port's own line, blocking waits, the view and the trace as the
// session's observers, and the outcome put into words.
#include "console/UpdateRun.h"

#include <ctime>
#include <vector>

#include "console/BlockingWaits.h"
#include "console/StopSignal.h"
#include "serial/SerialPort.h"
#include "serial/SerialPortLine.h"
#include "update/UpdateSession.h"

namespace console {

namespace {

// Hands every event to each of several observers, and keeps what the wording needs.
class Observers : public update::UpdateObserver {
public:
    void add(update::UpdateObserver* o) { m_list.push_back(o); }

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
        m_statusRead = statusRead;
        m_dsrOn = dsrOn;
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

    bool statusRead() const { return m_statusRead; }
    bool dsrOn() const { return m_dsrOn; }

private:
    std::vector<update::UpdateObserver*> m_list;
    bool m_statusRead = true;
    bool m_dsrOn = false;
};

std::string Today() {
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
    return version + " trace, " + Today() + "\n" + "port " + request.portName + ", COM" +
           std::to_string(request.port) + " = " + device + "\n" + "HEX file " + request.hexPath +
           "\n" + "line 9600 8N1 to the application firmware, 115200 8N1 to the boot loader";
}

UpdateRun::UpdateRun(Platform& platform, RunView& view)
    : m_platform(platform), m_view(view), m_comm(platform.makeComm()) {}

UpdateRun::~UpdateRun() = default;

bool UpdateRun::traceTo(const std::string& path, const std::string& header) {
    m_trace = std::make_unique<Trace>(*m_comm, m_platform.clock());
    if (!m_trace->open(path, header)) {
        m_trace.reset();
        return false;
    }
    return true;
}

RunResult UpdateRun::run(const RunRequest& request) {
    Observers observers;
    observers.add(&m_view);
    if (m_trace) {
        observers.add(m_trace.get());
    }
    CSerialPort port(m_trace ? static_cast<fw::Comm*>(m_trace.get()) : m_comm.get());
    serial::SerialPortLine line(port, request.port, m_platform.clock());
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
    context.portName = request.portName;
    context.hexName = request.hexName;
    context.modemStatusRead = observers.statusRead();
    context.dsrOn = observers.dsrOn();
    context.stopSignal = StopSignal();
    if (result.outcome.failure == update::Failure::kPortOpen) {
        context.openAdvice = m_platform.openAdvice(request.port, result.outcome.openError);
    }
    result.report = DescribeOutcome(result.outcome, context);
    if (m_trace) {
        m_trace->close(result.report.headline + " (exit code " +
                       std::to_string(result.report.exitCode) + ")");
    }
    return result;
}

} // namespace console

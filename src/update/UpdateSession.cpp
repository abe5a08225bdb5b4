// The frame of an update session: the whole run, the package check, and how outcomes are made.
#include "update/UpdateSession.h"

#include "update/DeviceProtocol.h"
#include "update/HexFileCheck.h"

namespace update {

UpdateSession::UpdateSession(serial::Line& line, LineWaits& waits, UpdateObserver& observer)
    : m_line(line), m_waits(waits), m_observer(observer) {}

void UpdateSession::Enter(Stage stage) {
    m_facts.stage = stage;
    m_observer.stageChanged(stage);
}

void UpdateSession::Send(const std::string& text) {
    m_facts.sentAnything = true;
    m_line.write(text);
}

Outcome UpdateSession::Succeeded() {
    Outcome outcome = m_facts;
    outcome.failure = Failure::kNone;
    return outcome;
}

Outcome UpdateSession::Failed(Failure failure) {
    Outcome outcome = m_facts;
    outcome.failure = failure;
    return outcome;
}

Outcome UpdateSession::HandshakeFailed(WaitResult result, char received, Awaited awaited) {
    if (result == WaitResult::kStopped) {
        return Stopped();
    }
    Outcome outcome =
        Failed(result == WaitResult::kTimedOut ? Failure::kNoAnswer : Failure::kWrongAnswer);
    outcome.awaited = awaited;
    outcome.readFailed = result == WaitResult::kReadFailed;
    if (outcome.readFailed) {
        outcome.lineError = m_line.lastError();
    }
    outcome.received = received;
    return outcome;
}

bool UpdateSession::Expect(char awaited, Awaited which, Stage stage, Outcome* failure) {
    Enter(stage);
    m_observer.waitStarted(stage, kStepLimitMs);
    char c = 0;
    const WaitResult result = m_waits.waitForCharacter(m_line, m_waits.now(), kStepLimitMs, &c);
    if (result == WaitResult::kCharacter && c == awaited) {
        return true;
    }
    *failure = HandshakeFailed(result, c, which);
    return false;
}

Outcome UpdateSession::CheckPackage(const FirmwarePackage& package) {
    Enter(Stage::kCheckingPackage);
    HexFileSummary summary;
    if (package.checked != nullptr) {
        summary = *package.checked;
    } else if (package.hexText != nullptr) {
        base::TextFile text;
        text.OpenText(*package.hexText);
        summary = CheckHexRows(text);
    } else {
        summary = CheckHexFile(package.hexPath, package.files);
    }
    m_facts.totalRows = summary.rows;
    m_observer.packageChecked(summary);
    if (!summary.ok()) {
        Outcome outcome = Failed(Failure::kPackage);
        outcome.package = summary.problem;
        return outcome;
    }
    return Succeeded();
}

Outcome UpdateSession::Run(const FirmwarePackage& package) {
    Outcome outcome = CheckPackage(package);
    if (outcome.ok()) {
        outcome = OpenPort();
    }
    if (outcome.ok()) {
        outcome = EnterBootLoader();
    }
    if (outcome.ok()) {
        SwitchToBootLoaderSpeed();
        outcome = Transfer(package);
    }
    m_line.close();
    if (outcome.ok()) {
        Enter(Stage::kDone);
        outcome.stage = Stage::kDone;
    }
    return outcome;
}

} // namespace update

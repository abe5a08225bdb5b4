// The look at each port of --identify, one thread per port.
#include "console/run/IdentifyJob.h"

#include <ctime>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "base/ProductNames.h"
#include "console/os/StopSignal.h"
#include "console/run/PortChoice.h"
#include "console/run/RecordFile.h"
#include "console/view/PortsSummary.h"
#include "console/words/ExitCodes.h"
#include "console/words/Text.h"
#include "update/BlockingWaits.h"
#include "update/DeviceProtocol.h"
#include "update/IdentityReply.h"

namespace console {

namespace {

// The reply to "<V" within the application firmware's limit.
void AskIdentity(Platform& platform, serial::Line& line, Identification* found) {
    update::BlockingWaits waits(
        platform.clock(), [] { return StopSignal() != 0; }, [] {});
    // What came before the question is no answer to it.
    line.purgeInput();
    if (!line.write(update::kIdentityCommand)) {
        found->lineFailed = true;
        found->lineError = line.lastError();
        return;
    }
    update::IdentityReply reply;
    const std::uint32_t start = waits.now();
    for (;;) {
        char c = 0;
        const update::WaitResult result =
            waits.waitForCharacter(line, start, update::kEntryLimitMs, &c);
        if (result == update::WaitResult::kStopped) {
            found->stopSignal = StopSignal();
            break;
        }
        if (result == update::WaitResult::kReadFailed) {
            found->lineFailed = true;
            found->lineError = line.lastError();
            break;
        }
        if (result == update::WaitResult::kTimedOut || reply.take(c)) {
            break;
        }
    }
    found->identity = reply.identity();
    found->received = reply.received();
}

UpdateRecord RecordOf(Platform& platform, const std::string& port, std::time_t started,
                      const Identification& found, const IdentifyWords& words) {
    UpdateRecord r = RecordOnThisMachine(platform);
    r.started = started;
    r.port = port;
    r.device = platform.ports().describe(port);
    r.packageRead = false;
    r.deviceSerial = words.serial;
    r.seconds = found.elapsedMs / 1000.0;
    r.outcome = "identified";
    r.deviceState = DeviceStateWord(update::DeviceState::kUnchanged);
    r.exitCode = words.exitCode;
    r.message = words.lines.front();
    return r;
}

} // namespace

Identification IdentifyPort(Platform& platform, const std::string& port) {
    Identification found;
    const std::uint32_t start = platform.clock().getTickCount();
    const std::unique_ptr<serial::Line> line = platform.ports().line(port);
    found.opened = line->open(update::kApplicationBaud);
    if (!found.opened) {
        found.openError = line->lastError();
        found.openAdvice = platform.ports().openAdvice(port, found.openError);
    } else {
        found.dsr = line->dsr();
        if (found.dsr == serial::Dsr::kOn) {
            AskIdentity(platform, *line, &found);
        }
        line->close();
    }
    found.elapsedMs = base::TicksSince(platform.clock(), start);
    return found;
}

int RunIdentify(const Options& options, Platform& platform, const Stream& out, const Stream& err) {
    const PortChoice chosen = ChoosePorts(options, platform);
    if (chosen.ports.empty()) {
        Say(err, CONSOLE_PROGRAM_NAME ": " + chosen.problem);
        return chosen.exitCode;
    }
    const std::size_t count = chosen.ports.size();
    const std::time_t started = std::time(nullptr);
    std::vector<Identification> found(count);
    {
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < count; ++i) {
            try {
                threads.emplace_back(
                    [&, i] { found[i] = IdentifyPort(platform, chosen.ports[i]); });
            } catch (const std::system_error&) {
                found[i] = IdentifyPort(platform, chosen.ports[i]); // no thread: in turn
            }
        }
        for (std::thread& t : threads) {
            t.join();
        }
    }
    std::vector<int> codes;
    int exitCode = kExitSuccess;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& port = chosen.ports[i];
        const IdentifyWords words = DescribeIdentification(found[i]);
        codes.push_back(words.exitCode);
        for (const std::string& line : words.lines) {
            Say(words.exitCode == kExitSuccess ? out : err, Escaped(port) + ": " + line);
        }
        if (!options.report.empty()) {
            const std::string problem = AppendRecord(
                platform, options.report, port, RecordOf(platform, port, started, found[i], words));
            if (!problem.empty()) {
                Say(err, problem);
                exitCode = kExitOther;
            }
        }
    }
    codes.push_back(exitCode);
    return WorstExitCode(codes);
}

} // namespace console

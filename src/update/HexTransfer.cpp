// The HEX transfer: the boot loader identified, its ready character awaited, and the file sent
// row by row under the handshake: XON, the row, XOFF and line complete; the at sign at the end.
#include <cstring>

#include "update/DeviceProtocol.h"
#include "update/HexFileCheck.h"
#include "update/HexRecord.h"
#include "update/UpdateSession.h"

namespace update {

Outcome UpdateSession::ReadVersion() {
    // Everything up to a carriage return, within the limit in all. An overlong reply is still
    // counted past the buffer, so that it is refused.
    Enter(Stage::kIdentifyingBootLoader);
    m_observer.waitStarted(Stage::kIdentifyingBootLoader, kVersionLimitMs);
    char version[kVersionBufferSize + 1] = {};
    std::size_t count = 0;
    // What a failed outcome carries of the reply: the characters stored, never past the buffer.
    const auto failedWith = [&](Failure failure) {
        Outcome outcome = Failed(failure);
        outcome.reply.assign(version, count < kVersionBufferSize ? count : kVersionBufferSize);
        return outcome;
    };
    const std::uint32_t start = m_waits.now();
    for (;;) {
        char c = 0;
        const WaitResult result = m_waits.waitForCharacter(m_line, start, kVersionLimitMs, &c);
        if (result == WaitResult::kStopped) {
            return Stopped();
        }
        if (result == WaitResult::kTimedOut) {
            return failedWith(Failure::kNoVersion);
        }
        if (result == WaitResult::kReadFailed) {
            Outcome outcome = failedWith(Failure::kWrongVersion);
            outcome.readFailed = true;
            outcome.lineError = m_line.lastError();
            return outcome;
        }
        // Something answered the request: a boot loader, which may erase its flash now.
        m_facts.device = DeviceState::kIncomplete;
        if (c == kCarriageReturn) {
            break;
        }
        if (count < kVersionBufferSize) {
            version[count] = c;
        }
        count++;
    }
    if (count != kVersionLength || std::memcmp(version, kExpectedVersion, kVersionLength) != 0) {
        return failedWith(Failure::kWrongVersion);
    }
    m_facts.bootLoaderVersion.assign(version, kVersionLength);
    m_observer.bootLoaderVersion(m_facts.bootLoaderVersion);
    return Succeeded();
}

Outcome UpdateSession::Transfer(const FirmwarePackage& package) {
    Enter(Stage::kSettling);
    if (!m_waits.pause(kSettleMs)) {
        return Stopped();
    }
    // Whatever the boot loader said by itself before it is asked is no part of its reply.
    m_line.purgeInput();
    Send(kIdentificationRequest);
    m_waits.expect(m_line, kGreetingLength);
    // A boot loader that hears its request may erase its flash at once; until something answers,
    // nobody knows whether one heard it.
    m_facts.device = DeviceState::kUnknown;

    Outcome failure = ReadVersion();
    if (!failure.ok()) {
        return failure;
    }
    if (!Expect(kReadyChar, Awaited::kReady, Stage::kAwaitingReady, &failure)) {
        return failure;
    }

    base::TextFile hexFile(package.files);
    if (package.hexText != nullptr ? !hexFile.OpenText(*package.hexText)
                                   : !hexFile.Open(package.hexPath)) {
        return Failed(Failure::kHexOpen);
    }
    // The file may have changed since it was checked: it is checked again as it is counted.
    Enter(Stage::kCountingRows);
    const HexFileSummary summary = CheckHexRows(hexFile);
    m_facts.totalRows = summary.rows;
    m_observer.rowsCounted(summary.rows);
    if (summary.problem.kind == HexFileProblem::Kind::kReadFailed) {
        return Failed(Failure::kHexRead);
    }
    if (!summary.ok()) {
        Outcome outcome = Failed(Failure::kHexInvalid);
        outcome.package = summary.problem;
        return outcome;
    }
    hexFile.SeekToBegin();

    std::string row;
    for (;;) {
        if (!Expect(kXonChar, Awaited::kXon, Stage::kAwaitingXon, &failure)) {
            return failure;
        }
        bool overlong = false;
        if (!hexFile.ReadString(row, intelhex::kMaxRecordChars, &overlong)) {
            return Failed(Failure::kHexRead);
        }
        if (row.empty() || row[0] != ':' || overlong) {
            Outcome outcome = Failed(Failure::kHexInvalid);
            outcome.package.kind = HexFileProblem::Kind::kBadRecord;
            outcome.package.row = m_facts.rowsSent + 1;
            outcome.package.rows = summary.rows;
            outcome.package.detail = overlong      ? "longer than any record"
                                     : row.empty() ? "empty row"
                                                   : "does not begin with ':'";
            return outcome;
        }
        Send(row);
        m_facts.rowsSent++;
        m_waits.expect(m_line, m_facts.rowsSent == m_facts.totalRows ? kLastRowAnswerLength
                                                                     : kRowAnswerLength);
        m_observer.rowSent(m_facts.rowsSent, m_facts.totalRows, row.size());
        if (m_facts.rowsSent == m_facts.totalRows) {
            hexFile.Close();
            break;
        }
        if (!Expect(kXoffChar, Awaited::kXoff, Stage::kAwaitingXoff, &failure) ||
            !Expect(kLineCompleteChar, Awaited::kLineComplete, Stage::kAwaitingLineComplete,
                    &failure)) {
            return failure;
        }
    }

    if (!Expect(kFileCompleteChar, Awaited::kFileComplete, Stage::kAwaitingFileComplete,
                &failure)) {
        return failure;
    }
    m_facts.device = DeviceState::kUpdated;
    return Succeeded();
}

} // namespace update

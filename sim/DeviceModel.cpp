// The device model: application firmware commands, boot-loader row handshake, faults, pacing.
#include "sim/DeviceModel.h"

#include "sim/Protocol.h"

#include "base/Printable.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

bool IsProtocolCharacter(char c) {
    return c == kCarriageReturn || c == '\n' || c == kReady || c == kXon || c == kXoff ||
           c == kLineComplete || c == kFileComplete || c == kNak || c == ':';
}

std::string Hex8(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", value);
    return buffer;
}

} // namespace

DeviceModel::DeviceModel(DeviceConfig config)
    : m_config(std::move(config)), m_log(m_config.logCapBytes), m_image(m_config.initialImage),
      m_mode(m_config.mode), m_lines(m_config.mode == Mode::ApplicationFirmware),
      m_faultUses(m_config.faults.size(), 0) {
    if (m_config.serial.size() != kSerialLength) {
        m_config.serial.resize(kSerialLength, '0');
    }
    for (const Fault& f : m_config.faults) {
        takeCableFault(f);
    }
}

void DeviceModel::addFault(const Fault& fault) {
    m_config.faults.push_back(fault);
    m_faultUses.push_back(0);
    takeCableFault(fault);
}

void DeviceModel::takeCableFault(const Fault& fault) {
    if (fault.step == Step::Dsr && fault.action == Action::Off) {
        m_lines.setCableWithoutDsr(true);
    }
}

bool DeviceModel::startAddress(std::uint32_t* address) const {
    if (m_haveStart && address != nullptr) {
        *address = m_startAddress;
    }
    return m_haveStart;
}

void DeviceModel::note(Micros now, const std::string& event) {
    m_log.add(std::max(now, m_lastNow), LogKind::Event, event);
}

void DeviceModel::advance(Micros now) {
    now = std::max(now, m_lastNow);
    if (m_restartPending && now >= m_restartAt) {
        m_restartPending = false;
        startBootLoader(m_restartAt);
    }
    Micros dropAt = 0;
    if (m_lines.pendingDrop(&dropAt) && m_lines.advance(now)) {
        m_log.add(dropAt, LogKind::Event, "DSR off, late");
    }
    if (m_appStartPending && now >= m_appStartAt) {
        m_appStartPending = false;
        m_mode = Mode::ApplicationFirmware;
        m_lines.setSignal(true);
        m_command.clear();
        m_log.add(m_appStartAt, LogKind::Event, "application firmware started, DSR on");
    }
    m_lastNow = now;
}

void DeviceModel::startBootLoader(Micros at) {
    m_mode = Mode::BootLoader;
    m_stats.restarts++;
    m_bootState = BootState::AwaitId;
    m_idWindow.clear();
    m_row.clear();
    m_strayRun = false;
    if (m_restartKeepsDsr) {
        m_log.add(at, LogKind::Event, "restarted into the boot loader, DSR kept on");
    } else if (m_dsrDropDelay > 0) {
        m_lines.dropAt(at + m_dsrDropDelay);
        m_log.add(at, LogKind::Event,
                  "restarted into the boot loader, DSR still on for " +
                      std::to_string(m_dsrDropDelay / 1000) + " ms");
    } else {
        m_lines.setSignal(false);
        m_log.add(at, LogKind::Event, "restarted into the boot loader, DSR off");
    }
    if (m_lineOpen) {
        emit(at, Step::Banner, 0, std::string());
    }
}

void DeviceModel::lineOpened(Micros now) {
    advance(now);
    now = m_lastNow;
    m_stats.opens++;
    m_lineOpen = true;
    m_dead = false;
    m_hungUp = false;
    m_statusFailureLogged = false;
    m_output.clear();
    m_lineFree = now;
    m_log.add(now, LogKind::Event,
              std::string("line opened (") +
                  (m_mode == Mode::BootLoader ? "boot loader" : "application firmware") + ")");
    if (m_mode == Mode::BootLoader) {
        m_bootState = BootState::AwaitId;
        m_idWindow.clear();
        m_row.clear();
        m_strayRun = false;
        emit(now, Step::Banner, 0, std::string());
    } else {
        m_command.clear();
    }
}

void DeviceModel::lineClosed(Micros now) {
    advance(now);
    m_stats.closes++;
    m_lineOpen = false;
    // A port drops its control lines as it closes, whether the program did or not.
    if (m_lines.setControl(false, false)) {
        m_log.add(m_lastNow, LogKind::Event, "DTR off, RTS off (line closed)");
    }
    const std::size_t lost = m_output.size();
    m_output.clear();
    m_log.add(m_lastNow, LogKind::Event,
              "line closed" + (lost > 0 ? " (" + std::to_string(lost) + " unread characters lost)"
                                        : std::string()));
}

void DeviceModel::lineSettings(Micros now, std::uint32_t baud, int dataBits, int parity,
                               int stopBits) {
    advance(now);
    const bool framing = dataBits == 8 && parity == 0 && stopBits == 0;
    if (baud == m_lineBaud && framing == m_lineFraming8N1) {
        return;
    }
    m_lineBaud = baud;
    m_lineFraming8N1 = framing;
    m_log.add(m_lastNow, LogKind::Event,
              "line set to " + std::to_string(baud) + " baud, " + std::to_string(dataBits) +
                  " data bits, parity " + std::to_string(parity) + ", stop bits " +
                  std::to_string(stopBits) + (framing ? " (8N1)" : " (not 8N1)"));
}

void DeviceModel::controlLines(Micros now, bool dtr, bool rts) {
    advance(now);
    if (m_lines.setControl(dtr, rts)) {
        m_log.add(m_lastNow, LogKind::Event,
                  std::string("DTR ") + (dtr ? "on" : "off") + ", RTS " + (rts ? "on" : "off"));
    }
}

bool DeviceModel::lineMatches() const {
    if (m_lineBaud == 0) {
        return true; // the transport cannot tell the line settings
    }
    const std::uint32_t expected = m_mode == Mode::BootLoader ? kBootLoaderBaud : kApplicationBaud;
    return m_lineBaud == expected && m_lineFraming8N1;
}

void DeviceModel::receive(Micros now, const void* data, std::size_t size) {
    advance(now);
    now = m_lastNow;
    if (size == 0) {
        return;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_log.add(now, LogKind::Received, std::string(reinterpret_cast<const char*>(bytes), size));
    if (m_dead) {
        return;
    }
    if (m_config.baudCheck != BaudCheck::Off && !lineMatches()) {
        m_stats.baudMismatches++;
        const std::uint32_t expected =
            m_mode == Mode::BootLoader ? kBootLoaderBaud : kApplicationBaud;
        m_log.add(now, LogKind::Event,
                  "line mismatch: received at " + std::to_string(m_lineBaud) +
                      (m_lineFraming8N1 ? " 8N1" : " (not 8N1)") + ", the " +
                      (m_mode == Mode::BootLoader ? "boot loader" : "application firmware") +
                      " expects " + std::to_string(expected) + " 8N1" +
                      (m_config.baudCheck == BaudCheck::Reject ? "; characters dropped" : ""));
        if (m_config.baudCheck == BaudCheck::Reject) {
            return;
        }
    }
    // On a paced line the program's characters take their time too: each one is seen when its
    // last bit has arrived, after the characters written before it.
    const Micros charMicros = characterMicros();
    Micros t = charMicros > 0 ? std::max(now, m_rxFree) : now;
    for (std::size_t i = 0; i < size && !m_dead; ++i) {
        t += charMicros;
        receiveByte(t, bytes[i]);
    }
    m_rxFree = t;
}

Micros DeviceModel::characterMicros() const {
    const std::uint32_t baud =
        m_config.paceAtLineSpeed && m_lineBaud != 0 ? m_lineBaud : m_config.paceBaud;
    if (baud == 0) {
        return 0;
    }
    return (kBitsPerCharacter * 1000000ull + baud - 1) / baud;
}

void DeviceModel::receiveByte(Micros now, std::uint8_t b) {
    if (m_mode == Mode::ApplicationFirmware) {
        applicationByte(now, b);
    } else {
        bootByte(now, b);
    }
}

void DeviceModel::applicationByte(Micros now, std::uint8_t b) {
    m_command += static_cast<char>(b);
    if (m_command.size() > 2) {
        m_command.erase(0, 1);
        m_stats.ignoredBytes++;
    }
    if (m_command == kIdentityCommand) {
        m_command.clear();
        m_stats.identityReplies++;
        m_log.add(now, LogKind::Event, "identity requested");
        emit(now, Step::Identity, 0, std::string(kIdentityPrefix) + m_config.serial);
        return;
    }
    if (m_command != kRestartCommand) {
        return;
    }
    m_command.clear();
    bool ignore = false;
    bool keepDsr = false;
    Micros delay = 0;
    for (const Fault* f : faultsAt(Step::Restart, 0)) {
        m_stats.faultsApplied++;
        m_log.add(now, LogKind::Event, "fault " + FormatFault(*f));
        switch (f->action) {
        case Action::None:
            ignore = true;
            break;
        case Action::KeepDsr:
            keepDsr = true;
            break;
        case Action::Delay:
            delay += static_cast<Micros>(f->value) * 1000;
            break;
        case Action::Dead:
            goDead(now, false, "restart");
            return;
        case Action::Hangup:
            goDead(now, true, "restart");
            return;
        default:
            break;
        }
    }
    if (ignore) {
        m_log.add(now, LogKind::Event, "restart command ignored");
        return;
    }
    if (m_restartPending) {
        return;
    }
    m_restartPending = true;
    m_restartAt = now + m_config.restartMicros + delay;
    m_restartKeepsDsr = keepDsr;
    m_log.add(now, LogKind::Event, "restart requested");
    applyDsrFaults(now, m_restartAt);
}

void DeviceModel::applyDsrFaults(Micros now, Micros bootAt) {
    m_dsrDropDelay = 0;
    for (const Fault* f : faultsAt(Step::Dsr, 0)) {
        if (f->action == Action::Off) {
            continue; // the cable's, from the start
        }
        m_stats.faultsApplied++;
        m_log.add(now, LogKind::Event, "fault " + FormatFault(*f));
        const Micros ms = static_cast<Micros>(f->value) * 1000;
        if (f->action == Action::Delay) {
            m_dsrDropDelay += ms;
        } else if (f->action == Action::Flap) {
            m_lines.flap(now, bootAt, ms);
        }
    }
}

void DeviceModel::bootByte(Micros now, std::uint8_t b) {
    const char c = static_cast<char>(b);
    switch (m_bootState) {
    case BootState::AwaitId:
        m_idWindow += c;
        if (m_idWindow.size() > kIdentificationRequestLength) {
            m_idWindow.erase(0, 1);
            m_stats.ignoredBytes++;
        }
        if (m_idWindow == kIdentificationRequest) {
            m_idWindow.clear();
            identify(now);
        }
        break;
    case BootState::AwaitRowStart:
        if (c == ':') {
            m_row = ":";
            m_rowExpected = 0;
            m_strayRun = false;
            m_bootState = BootState::InRow;
        } else {
            stray(now, b);
        }
        break;
    case BootState::InRow:
        m_row += c;
        if (m_row.size() == 3) {
            const int high = intelhex::HexDigitValue(m_row[1]);
            const int low = intelhex::HexDigitValue(m_row[2]);
            if (high < 0 || low < 0) {
                rejectRow(now, "length is not two hex digits: " + base::Escaped(m_row));
                m_strayRun = true; // the rest of that row is dropped quietly
                return;
            }
            m_rowExpected = 11 + 2 * static_cast<std::size_t>(high * 16 + low);
        }
        if (m_rowExpected != 0 && m_row.size() == m_rowExpected) {
            completeRow(now);
        }
        break;
    case BootState::Done:
        stray(now, b);
        break;
    }
}

void DeviceModel::stray(Micros now, std::uint8_t b) {
    m_stats.strayBytes++;
    if (m_strayRun) {
        return;
    }
    m_strayRun = true;
    m_log.add(now, LogKind::Event,
              "stray character " + base::Escaped(std::string(1, static_cast<char>(b))) +
                  " where a row must begin: NAK");
    queue(now, std::string(1, kNak));
}

void DeviceModel::identify(Micros now) {
    m_stats.sessions++;
    m_log.add(now, LogKind::Event,
              "identification request: boot-loader session " + std::to_string(m_stats.sessions));
    if (m_config.eraseOnIdentify && !m_image.empty()) {
        m_image.clear();
        m_log.add(now, LogKind::Event, "flash image erased");
    }
    m_addressing.reset();
    m_sessionRows = 0;
    m_fileComplete = false;
    m_haveStart = false;
    m_strayRun = false;
    m_bootState = BootState::AwaitRowStart;
    if (!emit(now, Step::Version, 0, std::string(kBootLoaderVersion) + kCarriageReturn)) {
        return;
    }
    if (!emit(now, Step::Ready, 0, std::string(1, kReady))) {
        return;
    }
    sendXon(now);
}

bool DeviceModel::sendXon(Micros now) {
    return emit(now, Step::Xon, m_sessionRows + 1, std::string(1, kXon));
}

void DeviceModel::completeRow(Micros now) {
    const int rowNumber = m_sessionRows + 1;
    m_bootState = BootState::AwaitRowStart;
    bool reject = false;
    for (const Fault* f : faultsAt(Step::Row, rowNumber)) {
        m_stats.faultsApplied++;
        m_log.add(now, LogKind::Event, "fault " + FormatFault(*f));
        switch (f->action) {
        case Action::Dead:
            goDead(now, false, "row " + std::to_string(rowNumber));
            return;
        case Action::Hangup:
            goDead(now, true, "row " + std::to_string(rowNumber));
            return;
        case Action::Reject:
            reject = true;
            break;
        case Action::Delay:
            m_lineFree = std::max(m_lineFree, now) + static_cast<Micros>(f->value) * 1000;
            break;
        default:
            break;
        }
    }
    if (reject) {
        rejectRow(now, "refused by the fault script");
        return;
    }
    intelhex::HexRecord record;
    if (!intelhex::ParseHexRecord(m_row, &record)) {
        rejectRow(now, "fails its check: " + base::Escaped(m_row.substr(0, 80)));
        return;
    }
    if (record.type == intelhex::kData &&
        m_image.size() + record.data.size() > m_config.flashCapBytes) {
        rejectRow(now, "flash full");
        return;
    }
    m_addressing.apply(record, &m_image);
    if (record.type == intelhex::kStartLinearAddress ||
        record.type == intelhex::kStartSegmentAddress) {
        m_haveStart = true;
        m_startAddress = static_cast<std::uint32_t>(record.data[0]) << 24 |
                         static_cast<std::uint32_t>(record.data[1]) << 16 |
                         static_cast<std::uint32_t>(record.data[2]) << 8 | record.data[3];
    }
    m_stats.rowsAccepted++;
    m_sessionRows++;
    std::string what = "row " + std::to_string(rowNumber) + " accepted: type " +
                       std::to_string(record.type) + ", " + std::to_string(record.length) +
                       " bytes";
    if (record.type == intelhex::kData && !record.data.empty()) {
        what += " at " + Hex8(m_addressing.addressOf(record.address, 0));
    }
    m_log.add(now, LogKind::Event, what);

    if (record.type != intelhex::kEndOfFile) {
        if (emit(now, Step::Xoff, rowNumber, std::string(1, kXoff)) &&
            emit(now, Step::LineComplete, rowNumber, std::string(1, kLineComplete))) {
            sendXon(now);
        }
        return;
    }
    m_bootState = BootState::Done;
    const std::size_t before = m_stats.outputLost;
    const std::size_t queued = m_output.size();
    if (emit(now, Step::FileComplete, 0, std::string(1, kFileComplete))) {
        // "@" counts as sent only if it really went out.
        bool atSign = false;
        for (std::size_t i = queued; i < m_output.size(); ++i) {
            atSign = atSign || m_output[i].second == kFileComplete;
        }
        if (atSign && m_stats.outputLost == before) {
            m_fileComplete = true;
            m_stats.fileCompletes++;
            m_log.add(now, LogKind::Event, "file complete");
        }
        if (m_config.startApplicationAfterUpdate) {
            m_appStartPending = true;
            m_appStartAt = std::max(m_lineFree, now) + m_config.restartMicros;
        }
    }
}

void DeviceModel::rejectRow(Micros now, const std::string& why) {
    m_stats.rowsRejected++;
    m_bootState = BootState::AwaitRowStart;
    m_strayRun = false;
    m_log.add(now, LogKind::Event,
              "row " + std::to_string(m_sessionRows + 1) + " rejected (" + why + "): NAK");
    queue(now, std::string(1, kNak));
    sendXon(now);
}

void DeviceModel::goDead(Micros now, bool hangup, const std::string& where) {
    m_dead = true;
    if (hangup) {
        m_hungUp = true;
        m_output.clear();
        m_lines.setControl(false, false); // they went with the line
    }
    m_log.add(now, LogKind::Event,
              (hangup ? "device hung up the line at " : "device went dead at ") + where);
}

std::vector<const Fault*> DeviceModel::faultsAt(Step step, int row) {
    std::vector<const Fault*> found;
    for (std::size_t i = 0; i < m_config.faults.size(); ++i) {
        const Fault& f = m_config.faults[i];
        if (f.step != step || (f.row != 0 && f.row != row)) {
            continue;
        }
        if (f.once && m_faultUses[i] > 0) {
            continue;
        }
        m_faultUses[i]++;
        found.push_back(&f);
    }
    return found;
}

bool DeviceModel::emit(Micros now, Step step, int row, const std::string& normal) {
    if (m_dead) {
        return false;
    }
    std::string out = normal;
    std::string extra;
    Micros delay = 0;
    for (const Fault* f : faultsAt(step, row)) {
        m_stats.faultsApplied++;
        m_log.add(now, LogKind::Event, "fault " + FormatFault(*f));
        switch (f->action) {
        case Action::Wrong:
        case Action::Reply:
            out = f->text;
            break;
        case Action::None:
            out.clear();
            break;
        case Action::Garbage:
            out.clear();
            while (out.size() < f->value) {
                // xorshift32: deterministic noise that never forms a protocol character
                m_noiseState ^= m_noiseState << 13;
                m_noiseState ^= m_noiseState >> 17;
                m_noiseState ^= m_noiseState << 5;
                const char c = static_cast<char>(m_noiseState & 0xFF);
                if (!IsProtocolCharacter(c)) {
                    out += c;
                }
            }
            break;
        case Action::Extra:
            extra += f->text;
            break;
        case Action::Delay:
            delay += static_cast<Micros>(f->value) * 1000;
            break;
        case Action::Dead:
            goDead(now, false, StepName(step));
            return false;
        case Action::Hangup:
            goDead(now, true, StepName(step));
            return false;
        default:
            break;
        }
    }
    if (delay > 0) {
        m_lineFree = std::max(m_lineFree, now) + delay;
    }
    queue(now, out + extra);
    return true;
}

void DeviceModel::queue(Micros now, const std::string& bytes) {
    if (bytes.empty()) {
        return;
    }
    Micros t = std::max(now, m_lineFree);
    const Micros start = t;
    const Micros charMicros = characterMicros();
    for (char c : bytes) {
        t += charMicros;
        if (m_output.size() < m_config.outputCapBytes) {
            m_output.emplace_back(t, c);
        } else {
            m_stats.outputLost++;
        }
    }
    m_lineFree = t;
    m_log.add(start, LogKind::Sent, bytes, t);
}

std::size_t DeviceModel::readable(Micros now) {
    advance(now);
    std::size_t n = 0;
    for (const auto& entry : m_output) {
        if (entry.first > m_lastNow) {
            break;
        }
        ++n;
    }
    return n;
}

std::size_t DeviceModel::read(Micros now, void* buffer, std::size_t max) {
    advance(now);
    auto* out = static_cast<char*>(buffer);
    std::size_t n = 0;
    while (n < max && !m_output.empty() && m_output.front().first <= m_lastNow) {
        out[n++] = m_output.front().second;
        m_output.pop_front();
    }
    return n;
}

std::size_t DeviceModel::purge(Micros now) {
    advance(now);
    std::size_t n = 0;
    while (!m_output.empty() && m_output.front().first <= m_lastNow) {
        m_output.pop_front();
        ++n;
    }
    m_stats.purgedBytes += n;
    m_log.add(m_lastNow, LogKind::Event,
              "input purged (" + std::to_string(n) + " characters dropped)");
    return n;
}

bool DeviceModel::nextDelivery(Micros* when) const {
    if (m_output.empty()) {
        return false;
    }
    *when = m_output.front().first;
    return true;
}

bool DeviceModel::nextWake(Micros* when) const {
    bool any = nextDelivery(when);
    const auto consider = [&](bool pending, Micros at) {
        if (pending && (!any || at < *when)) {
            *when = at;
            any = true;
        }
    };
    consider(m_restartPending, m_restartAt);
    consider(m_appStartPending, m_appStartAt);
    Micros dropAt = 0;
    const bool dropPending = m_lines.pendingDrop(&dropAt);
    consider(dropPending, dropAt);
    return any;
}

ModemStatus DeviceModel::modemLines(Micros now) {
    advance(now);
    return m_lines.status(m_lastNow);
}

bool DeviceModel::readModemStatus(Micros now, ModemStatus* status) {
    advance(now);
    m_stats.statusReads++;
    const std::vector<const Fault*> failing = faultsAt(Step::Status, 0);
    if (!failing.empty()) {
        m_stats.faultsApplied++;
        // A program may read the status thousands of times a second: once per opening is enough.
        if (!m_statusFailureLogged) {
            m_statusFailureLogged = true;
            m_log.add(m_lastNow, LogKind::Event,
                      "fault " + FormatFault(*failing.front()) + ": the status read fails");
        }
        return false;
    }
    *status = modemLines(now);
    return true;
}

} // namespace sim

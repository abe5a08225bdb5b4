// The line trace: every call passed on, every character and line event written to the log.
#include "console/Trace.h"

#include "console/Printable.h"

namespace console {

namespace {

constexpr DWORD kReceiveGapMs = 20;

const char* EscapeName(DWORD function) {
    switch (function) {
    case SETRTS:
        return "rts on";
    case CLRRTS:
        return "rts off";
    case SETDTR:
        return "dtr on";
    case CLRDTR:
        return "dtr off";
    default:
        return "escape";
    }
}

char ParityLetter(BYTE parity) {
    switch (parity) {
    case NOPARITY:
        return 'N';
    case ODDPARITY:
        return 'O';
    case EVENPARITY:
        return 'E';
    case MARKPARITY:
        return 'M';
    case SPACEPARITY:
        return 'S';
    default:
        return '?';
    }
}

std::string Reason(const fw::SystemError& e) {
    return e.text.empty() ? "code " + std::to_string(e.code)
                          : e.text + " (" + std::to_string(e.code) + ")";
}

} // namespace

Trace::Trace(fw::Comm& inner, fw::Clock& clock) : m_inner(inner), m_clock(clock) {}

Trace::~Trace() {
    if (m_log != nullptr) {
        flushReceived();
        std::fclose(m_log);
    }
}

bool Trace::open(const std::string& path, const std::string& header) {
    m_log = std::fopen(path.c_str(), "w");
    m_start = m_clock.getTickCount();
    if (m_log == nullptr) {
        return false;
    }
    std::string::size_type at = 0;
    while (at < header.size()) {
        std::string::size_type end = header.find('\n', at);
        if (end == std::string::npos) {
            end = header.size();
        }
        std::fprintf(m_log, "# %s\n", header.substr(at, end - at).c_str());
        at = end + 1;
    }
    std::fflush(m_log);
    return true;
}

void Trace::close(const std::string& outcome) {
    if (m_log == nullptr) {
        return;
    }
    flushReceived();
    event(m_clock.getTickCount(), "end");
    std::fprintf(m_log, "# outcome: %s\n", outcome.c_str());
    std::fclose(m_log);
    m_log = nullptr;
}

void Trace::event(DWORD tick, const std::string& what) {
    if (m_log == nullptr) {
        return;
    }
    const DWORD ms = tick - m_start;
    std::fprintf(m_log, "%6lu.%03lu %s\n", static_cast<unsigned long>(ms / 1000),
                 static_cast<unsigned long>(ms % 1000), what.c_str());
}

void Trace::flushReceived() {
    if (m_received.empty()) {
        return;
    }
    event(m_receivedTick, "rx " + Quoted(m_received));
    m_received.clear();
    std::fflush(m_log);
}

HANDLE Trace::createFile(const char* path) {
    flushReceived();
    const HANDLE h = m_inner.createFile(path);
    const std::string name = path != nullptr ? path : "";
    event(m_clock.getTickCount(), h == INVALID_HANDLE_VALUE
                                      ? "open " + name + " failed: " + Reason(m_inner.lastError())
                                      : "open " + name + " ok");
    m_modemState = -1;
    return h;
}

BOOL Trace::closeHandle(HANDLE h) {
    flushReceived();
    const BOOL ok = m_inner.closeHandle(h);
    event(m_clock.getTickCount(), ok ? "close" : "close failed");
    if (m_log != nullptr) {
        std::fflush(m_log);
    }
    return ok;
}

BOOL Trace::setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    return m_inner.setupComm(h, inQueue, outQueue);
}

BOOL Trace::setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) {
    return m_inner.setCommTimeouts(h, timeouts);
}

BOOL Trace::setCommState(HANDLE h, const DCB* dcb) {
    flushReceived();
    const BOOL ok = m_inner.setCommState(h, dcb);
    if (dcb != nullptr) {
        const char* stop = dcb->StopBits == ONESTOPBIT    ? "1"
                           : dcb->StopBits == TWOSTOPBITS ? "2"
                                                          : "1.5";
        char text[96];
        std::snprintf(text, sizeof text, "line %lu %u%c%s%s",
                      static_cast<unsigned long>(dcb->BaudRate),
                      static_cast<unsigned>(dcb->ByteSize), ParityLetter(dcb->Parity), stop,
                      ok ? "" : " refused");
        event(m_clock.getTickCount(), text);
    }
    return ok;
}

BOOL Trace::setCommMask(HANDLE h, DWORD mask) {
    return m_inner.setCommMask(h, mask);
}

BOOL Trace::escapeCommFunction(HANDLE h, DWORD function) {
    flushReceived();
    const BOOL ok = m_inner.escapeCommFunction(h, function);
    // A line without modem controls (its status unavailable) cannot set DTR or RTS: no news.
    if (ok || m_modemState != 2) {
        event(m_clock.getTickCount(), std::string(EscapeName(function)) + (ok ? "" : " failed"));
    }
    return ok;
}

BOOL Trace::purgeComm(HANDLE h, DWORD flags) {
    flushReceived();
    const BOOL ok = m_inner.purgeComm(h, flags);
    event(m_clock.getTickCount(), ok ? "purge" : "purge failed");
    return ok;
}

BOOL Trace::clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) {
    return m_inner.clearCommError(h, errors, stat);
}

BOOL Trace::readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) {
    const BOOL ok = m_inner.readFile(h, buffer, toRead, read);
    const DWORD now = m_clock.getTickCount();
    if (!m_received.empty() && now - m_lastReceivedTick >= kReceiveGapMs) {
        flushReceived();
    }
    if (ok && read != nullptr && *read > 0) {
        if (m_received.empty()) {
            m_receivedTick = now;
        }
        m_received.append(static_cast<const char*>(buffer), *read);
        m_lastReceivedTick = now;
    } else if (!ok) {
        flushReceived();
        event(now, "read failed: " + Reason(m_inner.lastError()));
    }
    return ok;
}

BOOL Trace::writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) {
    flushReceived();
    const DWORD now = m_clock.getTickCount();
    const BOOL ok = m_inner.writeFile(h, data, toWrite, written);
    const DWORD count = written != nullptr ? *written : 0;
    std::string line = "tx ";
    if (m_rowNext) {
        line += "row " + std::to_string(m_rowsSent + 1) + " ";
    }
    line += Quoted(std::string(static_cast<const char*>(data), count));
    if (!ok || count != toWrite) {
        line += " (" + std::to_string(count) + " of " + std::to_string(toWrite) + " written)";
    }
    event(now, line);
    return ok;
}

BOOL Trace::getCommModemStatus(HANDLE h, DWORD* status) {
    const BOOL ok = m_inner.getCommModemStatus(h, status);
    const int state = !ok || status == nullptr ? 2 : ((*status & MS_DSR_ON) != 0 ? 1 : 0);
    if (state != m_modemState) {
        flushReceived();
        m_modemState = state;
        event(m_clock.getTickCount(), state == 2   ? "modem status unavailable"
                                      : state == 1 ? "dsr on"
                                                   : "dsr off");
    }
    return ok;
}

void Trace::stageChanged(update::Stage stage) {
    // After XON the row is written while the stage still awaits XON.
    m_rowNext = stage == update::Stage::kAwaitingXon;
}

void Trace::rowSent(int row, int, std::size_t) {
    m_rowsSent = row;
    m_rowNext = false;
}

} // namespace console

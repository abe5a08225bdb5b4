// The line trace: every call passed on, every character and line event written to the log.
#include "console/TraceComm.h"

namespace console {

namespace {

constexpr DWORD kReceiveGapMs = 20;

const char* EscapeName(DWORD function) {
    switch (function) {
    case SETRTS:
        return "SETRTS";
    case CLRRTS:
        return "CLRRTS";
    case SETDTR:
        return "SETDTR";
    case CLRDTR:
        return "CLRDTR";
    default:
        return nullptr;
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

} // namespace

TraceComm::TraceComm(fw::Comm& inner, fw::Clock& clock) : m_inner(inner), m_clock(clock) {}

TraceComm::~TraceComm() {
    if (m_log != nullptr) {
        flushReceived();
        std::fclose(m_log);
    }
}

bool TraceComm::openLog(const std::string& path) {
    if (m_log != nullptr) {
        std::fclose(m_log);
    }
    m_log = std::fopen(path.c_str(), "w");
    m_start = m_clock.getTickCount();
    if (m_log != nullptr) {
        event(m_start, "trace started");
    }
    return m_log != nullptr;
}

std::string TraceComm::Quote(const char* data, std::size_t size) {
    std::string out = "\"";
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
    }
    return out + "\"";
}

void TraceComm::event(DWORD tick, const std::string& what) {
    if (m_log == nullptr) {
        return;
    }
    const DWORD ms = tick - m_start;
    std::fprintf(m_log, "%6lu.%03lu %s\n", static_cast<unsigned long>(ms / 1000),
                 static_cast<unsigned long>(ms % 1000), what.c_str());
}

void TraceComm::flushReceived() {
    if (m_received.empty()) {
        return;
    }
    event(m_receivedTick, "rx " + Quote(m_received.data(), m_received.size()));
    m_received.clear();
    std::fflush(m_log);
}

HANDLE TraceComm::createFile(const char* path) {
    flushReceived();
    const HANDLE h = m_inner.createFile(path);
    event(m_clock.getTickCount(), std::string("open ") + (path != nullptr ? path : "") +
                                      (h == INVALID_HANDLE_VALUE ? " failed" : " ok"));
    m_modemState = -1;
    return h;
}

BOOL TraceComm::closeHandle(HANDLE h) {
    flushReceived();
    const BOOL ok = m_inner.closeHandle(h);
    event(m_clock.getTickCount(), ok ? "close" : "close failed");
    if (m_log != nullptr) {
        std::fflush(m_log);
    }
    return ok;
}

BOOL TraceComm::setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    return m_inner.setupComm(h, inQueue, outQueue);
}

BOOL TraceComm::setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) {
    return m_inner.setCommTimeouts(h, timeouts);
}

BOOL TraceComm::setCommState(HANDLE h, const DCB* dcb) {
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

BOOL TraceComm::setCommMask(HANDLE h, DWORD mask) {
    return m_inner.setCommMask(h, mask);
}

BOOL TraceComm::escapeCommFunction(HANDLE h, DWORD function) {
    flushReceived();
    const BOOL ok = m_inner.escapeCommFunction(h, function);
    const char* name = EscapeName(function);
    event(m_clock.getTickCount(), std::string("escape ") +
                                      (name != nullptr ? name : std::to_string(function)) +
                                      (ok ? "" : " failed"));
    return ok;
}

BOOL TraceComm::purgeComm(HANDLE h, DWORD flags) {
    flushReceived();
    const BOOL ok = m_inner.purgeComm(h, flags);
    event(m_clock.getTickCount(), ok ? "purge" : "purge failed");
    return ok;
}

BOOL TraceComm::clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) {
    const BOOL ok = m_inner.clearCommError(h, errors, stat);
    if (!m_received.empty() && m_clock.getTickCount() - m_lastReceivedTick >= kReceiveGapMs) {
        flushReceived();
    }
    return ok;
}

BOOL TraceComm::readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) {
    const BOOL ok = m_inner.readFile(h, buffer, toRead, read);
    if (ok && read != nullptr && *read > 0) {
        const DWORD now = m_clock.getTickCount();
        if (!m_received.empty() && now - m_lastReceivedTick >= kReceiveGapMs) {
            flushReceived();
        }
        if (m_received.empty()) {
            m_receivedTick = now;
        }
        m_received.append(static_cast<const char*>(buffer), *read);
        m_lastReceivedTick = now;
    } else if (!ok) {
        flushReceived();
        event(m_clock.getTickCount(), "read failed");
    }
    return ok;
}

BOOL TraceComm::writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) {
    flushReceived();
    const DWORD now = m_clock.getTickCount();
    const BOOL ok = m_inner.writeFile(h, data, toWrite, written);
    const DWORD count = written != nullptr ? *written : 0;
    std::string line = "tx " + Quote(static_cast<const char*>(data), count);
    if (!ok || count != toWrite) {
        line += " (" + std::to_string(count) + " of " + std::to_string(toWrite) + " written)";
    }
    event(now, line);
    return ok;
}

BOOL TraceComm::getCommModemStatus(HANDLE h, DWORD* status) {
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

} // namespace console

// The line trace: every call passed on, every character and line event written to the log.
#include "serial/TracedLine.h"

#include "base/Printable.h"

namespace serial {

namespace {

constexpr std::uint32_t kReceiveGapMs = 20;

std::string Reason(const base::SystemError& e) {
    return e.text.empty() ? "code " + std::to_string(e.code)
                          : base::Escaped(e.text) + " (" + std::to_string(e.code) + ")";
}

} // namespace

TracedLine::TracedLine(Line& inner, base::Clock& clock) : m_inner(inner), m_clock(clock) {}

TracedLine::~TracedLine() {
    if (m_log != nullptr) {
        flushReceived();
        std::fclose(m_log);
    }
}

bool TracedLine::startLog(const std::string& path, const std::string& header) {
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

void TracedLine::note(const std::string& line) {
    if (m_log != nullptr) {
        std::fprintf(m_log, "# %s\n", line.c_str());
        std::fflush(m_log);
    }
}

void TracedLine::endLog(const std::string& outcome) {
    if (m_log == nullptr) {
        return;
    }
    flushReceived();
    event("end");
    std::fprintf(m_log, "# outcome: %s\n", outcome.c_str());
    std::fclose(m_log);
    m_log = nullptr;
}

void TracedLine::event(const std::string& what) {
    flushReceived();
    if (m_log == nullptr) {
        return;
    }
    writeAt(m_clock.getTickCount(), what);
}

void TracedLine::writeAt(std::uint32_t tick, const std::string& what) {
    const std::uint32_t ms = tick - m_start;
    std::fprintf(m_log, "%6lu.%03lu %s\n", static_cast<unsigned long>(ms / 1000),
                 static_cast<unsigned long>(ms % 1000), what.c_str());
}

void TracedLine::flushReceived() {
    if (m_received.empty() || m_log == nullptr) {
        return;
    }
    writeAt(m_receivedTick, "rx " + base::Quoted(m_received));
    m_received.clear();
    std::fflush(m_log);
}

bool TracedLine::open(std::uint32_t baud) {
    const bool ok = m_inner.open(baud);
    event("open " + base::Escaped(name()) + " at " + std::to_string(baud) +
          (ok ? " ok" : " failed: " + Reason(m_inner.lastError())));
    m_dsr = -1;
    return ok;
}

void TracedLine::close() {
    m_inner.close();
    event("close");
    if (m_log != nullptr) {
        std::fflush(m_log);
    }
}

bool TracedLine::setSpeed(std::uint32_t baud) {
    const bool ok = m_inner.setSpeed(baud);
    event("speed " + std::to_string(baud) + (ok ? "" : " failed: " + Reason(m_inner.lastError())));
    return ok;
}

bool TracedLine::write(const std::string& data) {
    std::string line = "tx ";
    if (!data.empty() && data[0] == ':') {
        line += "row " + std::to_string(++m_rows) + " ";
    }
    line += base::Quoted(data);
    const bool ok = m_inner.write(data);
    if (!ok) {
        line += " failed: " + Reason(m_inner.lastError());
    }
    event(line);
    return ok;
}

int TracedLine::read(char* buffer, int max, std::uint32_t limitMs) {
    const int count = m_inner.read(buffer, max, limitMs);
    const std::uint32_t now = m_clock.getTickCount();
    if (!m_received.empty() && now - m_lastReceivedTick >= kReceiveGapMs) {
        flushReceived();
    }
    if (count > 0) {
        if (m_received.empty()) {
            m_receivedTick = now;
        }
        m_received.append(buffer, static_cast<std::size_t>(count));
        m_lastReceivedTick = now;
    } else if (count == Line::kReadFailed) {
        event("read failed: " + Reason(m_inner.lastError()));
    }
    return count;
}

bool TracedLine::purgeInput() {
    const bool ok = m_inner.purgeInput();
    event(ok ? "purge" : "purge failed");
    return ok;
}

Dsr TracedLine::dsr() {
    const Dsr dsr = m_inner.dsr();
    if (static_cast<int>(dsr) != m_dsr) {
        m_dsr = static_cast<int>(dsr);
        event(dsr == Dsr::kOn    ? "dsr on"
              : dsr == Dsr::kOff ? "dsr off"
                                 : "dsr unknown (no modem status)");
    }
    return dsr;
}

} // namespace serial
